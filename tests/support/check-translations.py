#!/usr/bin/env python3
"""Fails when a translation is not complete for the sources, or a user-visible text is not translatable.

Usage: check-translations.py LUPDATE

1. lupdate runs over a copy of translations/*.ts: a text the checked-in files lack, or one they still
   hold after it left the sources, shows as a difference.
2. Every message of the checked-in files has a finished, non-empty translation.
3. A literal with letters handed straight to a call that shows text (setText, setToolTip, addAction,
   a new QLabel and the like) bypasses translation. A line ending in `// untranslated` is let through
   (for names and protocol words that read the same in every language).
"""
import difflib
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

ROOT = pathlib.Path(__file__).resolve().parents[2]
UPDATE_HINT = "cmake --build build --target update_translations, then translate what is new"

# Calls whose text argument the user reads.
SHOWN = re.compile(
    r"(?:\b(?:setText|setToolTip|setWindowTitle|setPlaceholderText|setAccessibleName|setAccessibleDescription|"
    r"setStatusTip|setWhatsThis|setTitle|setLabelText|setInformativeText|addAction|addItem|addButton|"
    r"addMenu|showMessage|makeLabelRow|makeHelpLine|makeSecondaryLabel|makeIconButton|makeMenu|panelRow)"
    r"|\bnew\s+(?:QLabel|QPushButton|QToolButton|QAction|QCheckBox|QRadioButton|QGroupBox|QMenu|Toggle|"
    r"ColorWell|QMessageBox))\s*\(")
LITERAL = re.compile(r'(?:QStringLiteral|QLatin1String|QLatin1StringView|QString::fromUtf8)\s*\(\s*"((?:[^"\\]|\\.)*)"'
                     r'|\bu"((?:[^"\\]|\\.)*)"')


def arguments(text: str, start: int) -> str:
    """The text between the parenthesis opened at `start` and its match."""
    depth = 0
    i = start
    in_string = False
    while i < len(text):
        c = text[i]
        if in_string:
            if c == "\\":
                i += 1
            elif c == '"':
                in_string = False
        elif c == '"':
            in_string = True
        elif c == "(":
            depth += 1
        elif c == ")":
            depth -= 1
            if depth == 0:
                return text[start + 1:i]
        i += 1
    return text[start + 1:]


def shows_words(literal: str) -> bool:
    decoded = re.sub(r"\\u([0-9a-fA-F]{4})", lambda m: chr(int(m.group(1), 16)), literal)
    decoded = re.sub(r"\\.", " ", decoded)
    return any(c.isalpha() for c in decoded)


def untranslatable_texts(sources: list[pathlib.Path]) -> list[str]:
    faults = []
    for path in sources:
        text = path.read_text(encoding="utf-8")
        lines = text.splitlines()
        for call in SHOWN.finditer(text):
            args = arguments(text, call.end() - 1)
            for literal in LITERAL.finditer(args):
                value = literal.group(1) if literal.group(1) is not None else literal.group(2)
                if not shows_words(value):
                    continue
                line = text.count("\n", 0, call.end() + args.find(literal.group(0))) + 1
                if lines[line - 1].rstrip().endswith("// untranslated"):
                    continue
                faults.append(f"{path.relative_to(ROOT)}:{line}: \"{value}\" is shown but not translatable "
                              "(tr() or QCoreApplication::translate())")
    return faults


def unfinished_messages(ts: pathlib.Path) -> list[str]:
    faults = []
    for context in ET.parse(ts).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            translation = message.find("translation")
            state = translation.get("type") if translation is not None else "missing"
            # A plural message holds one translation per form of the language.
            forms = [form.text for form in translation.iter("numerusform")] if translation is not None else []
            texts = forms if message.get("numerus") == "yes" else [translation.text if translation is not None else ""]
            if state is not None or not texts or not all((text or "").strip() for text in texts):
                faults.append(f"{ts.relative_to(ROOT)}: {name}: \"{message.findtext('source')}\" is "
                              f"{state or 'empty'}")
    return faults


def stale_files(lupdate: str, sources: list[pathlib.Path], ts_files: list[pathlib.Path]) -> list[str]:
    faults = []
    with tempfile.TemporaryDirectory() as temp:
        copies = [pathlib.Path(temp) / ts.name for ts in ts_files]
        for ts, copy in zip(ts_files, copies):
            shutil.copy(ts, copy)
        listing = pathlib.Path(temp) / "sources.txt"
        listing.write_text("\n".join(str(p) for p in sources) + "\n", encoding="utf-8")
        subprocess.run([lupdate, "-silent", "-locations", "none", "-no-obsolete", f"@{listing}", "-ts",
                        *map(str, copies)], check=True)
        for ts, copy in zip(ts_files, copies):
            checked_in = ts.read_text(encoding="utf-8").splitlines()
            updated = copy.read_text(encoding="utf-8").splitlines()
            if checked_in != updated:
                diff = difflib.unified_diff(checked_in, updated, str(ts.relative_to(ROOT)), "sources",
                                            lineterm="", n=1)
                faults.append(f"{ts.relative_to(ROOT)} does not match the sources ({UPDATE_HINT}):\n"
                              + "\n".join(list(diff)[:60]))
    return faults


def main() -> int:
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    sources = sorted(p for p in (ROOT / "src").rglob("*") if p.suffix in (".cpp", ".h") and p.is_file())
    ts_files = sorted((ROOT / "translations").glob("*.ts"))
    if not ts_files:
        print("no translations in translations/")
        return 1
    faults = stale_files(sys.argv[1], sources, ts_files)
    for ts in ts_files:
        faults += unfinished_messages(ts)
    faults += untranslatable_texts(sources)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
