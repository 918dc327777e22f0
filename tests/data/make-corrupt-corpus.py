#!/usr/bin/env python3
"""Writes the corpus of malformed state files in corrupt/ (deterministic; run from this folder).

Every file must be refused as a whole: Tavix keeps it aside under a preserved name and starts
from defaults with one clock. Re-run after changing the seed file or the list below."""
import os
import random
import re
import struct

here = os.path.dirname(os.path.abspath(__file__))
seed = open(os.path.join(here, "..", "..", "fuzz", "seeds", "all-modes.plist"), "rb").read()
out = os.path.join(here, "corrupt")
for name in os.listdir(out):
    os.remove(os.path.join(out, name))

files = {}
rng = random.Random(20261206)


def add(name, data):
    assert name not in files, name
    files[name] = data if isinstance(data, bytes) else data.encode()


text = seed.decode()


def first_clock_sub(pattern, replacement):
    """Replaces the first match inside the first clock only."""
    start = text.index("<array><dict>") + len("<array>")
    end = text.index("</dict><dict>", start)
    clock = re.sub(pattern, replacement, text[start:end], count=1, flags=re.S)
    assert clock != text[start:end], pattern
    return text[:start] + clock + text[end:]


def sub(pattern, replacement):
    result = re.sub(pattern, replacement, text, count=1, flags=re.S)
    assert result != text, pattern
    return result


add("empty.plist", b"")
for fraction in (0.01, 0.1, 0.5, 0.9):
    add(f"truncated-{int(fraction * 100):02d}pct.plist", seed[: int(len(seed) * fraction)])
add("truncated-inside-last-dict.plist", seed[:-30])
add("junk-1k.plist", bytes(rng.getrandbits(8) for _ in range(1024)))
add("junk-100k.plist", bytes(rng.getrandbits(8) for _ in range(100_000)))
add("zeros.plist", bytes(4096))
add("binary-header-junk.plist", b"bplist00" + bytes(rng.getrandbits(8) for _ in range(200)))
add("json.plist", '{"clocks": [], "settings": {}}')
add("html.plist", "<html><body>not a state file</body></html>")
add("root-array.plist", '<?xml version="1.0"?><plist version="1.0"><array/></plist>')
add("root-string.plist", '<?xml version="1.0"?><plist version="1.0"><string>clocks</string></plist>')
add("unclosed-tags.plist", text.replace("</dict></plist>", ""))
add("mismatched-tags.plist", sub(r"</array>", "</dict>"))
add("no-clocks.plist", sub(r"<key>clocks</key><array>.*</array><key>settings</key>", "<key>settings</key>"))
add("no-settings.plist", sub(r"<key>settings</key><dict>.*</dict></dict></plist>", "</dict></plist>"))
add("clocks-is-dict.plist", sub(r"<key>clocks</key><array>", "<key>clocks</key><dict>").replace("</array><key>settings", "</dict><key>settings", 1))

for key in ["defaultForegroundColor", "defaultBackgroundColor", "defaultOutlineColor", "defaultOpacity",
            "defaultAlwaysOnTop", "defaultCountdownDuration", "defaultTimeUntilAtTargetForegroundColor",
            "defaultTimeUntilAtTargetOutlineColor", "defaultTimeUntilFlashAtTarget"]:
    add(f"settings-without-{key}.plist", text.replace(f"<key>{key}</key>", f"<key>{key}Renamed</key>"))

for key in ["id", "name", "mode", "foregroundColor", "backgroundColor", "outlineColor", "opacity",
            "alwaysOnTop", "windowOrigin", "windowSize"]:
    add(f"clock-without-{key}.plist", first_clock_sub(f"<key>{key}</key>", f"<key>{key}Old</key>"))

for key in ["duration", "remaining", "isRunning", "warningTime", "flashWhenDone"]:
    add(f"countdown-without-{key}.plist", first_clock_sub(f"<key>{key}</key>", f"<key>x{key}</key>"))
add("timecode-without-channel.plist", first_clock_sub("<key>audioChannelIndex</key>", "<key>channel</key>"))
add("timeuntil-without-target-second.plist", first_clock_sub("<key>targetSecond</key>", "<key>second</key>"))

add("opacity-is-string.plist", first_clock_sub(r"<key>opacity</key><real>[^<]*</real>", "<key>opacity</key><string>0.85</string>"))
add("opacity-is-huge-string.plist", first_clock_sub(r"<key>opacity</key><real>[^<]*</real>", "<key>opacity</key><string>" + "9" * 200_000 + "</string>"))
add("always-on-top-is-integer.plist", first_clock_sub(r"<key>alwaysOnTop</key><true/>", "<key>alwaysOnTop</key><integer>1</integer>"))
add("origin-is-dict.plist", first_clock_sub(r"<key>windowOrigin</key><array>.*?</array>", "<key>windowOrigin</key><dict/>"))
add("size-has-three-numbers.plist", first_clock_sub(r"<key>windowSize</key><array>", "<key>windowSize</key><array><real>1</real>"))
add("size-has-one-number.plist", first_clock_sub(r"<key>windowSize</key><array><real>600</real>", "<key>windowSize</key><array>"))
add("origin-holds-strings.plist", first_clock_sub(r"<key>windowOrigin</key><array><real>100</real>", "<key>windowOrigin</key><array><string>100</string>"))
add("name-is-integer.plist", first_clock_sub(r"<key>name</key><string>[^<]*</string>", "<key>name</key><integer>7</integer>"))
add("id-is-integer.plist", first_clock_sub(r"<key>id</key><string>[^<]*</string>", "<key>id</key><integer>7</integer>"))
add("countdown-is-array.plist", first_clock_sub(r"<key>countdown</key><dict>", "<key>countdown</key><array>").replace("<key>flashWhenDone</key><true/></dict>", "<key>flashWhenDone</key><true/></array>", 1))
add("frame-rate-is-number.plist", first_clock_sub(r"<key>frameRate</key><string>[^<]*</string>", "<key>frameRate</key><real>29.97</real>"))
add("target-hour-is-real.plist", first_clock_sub(r"<key>targetHour</key><integer>18</integer>", "<key>targetHour</key><real>18.5</real>"))
add("is-running-is-string.plist", first_clock_sub(r"<key>isRunning</key><true/>", "<key>isRunning</key><string>yes</string>"))
add("device-id-is-integer.plist", first_clock_sub(r"<key>audioInputDeviceID</key><string>[^<]*</string>", "<key>audioInputDeviceID</key><integer>73</integer>"))
add("offset-is-date.plist", first_clock_sub(r"<key>timeZoneOffset</key><real>[^<]*</real>", "<key>timeZoneOffset</key><date>2026-01-01T00:00:00Z</date>"))

for label, bad in [("short", "1234"), ("braces", "{0F8FAD5B-D9CB-469F-A165-70867728950E}"),
                   ("non-hex", "ZZZZZZZZ-D9CB-469F-A165-70867728950E"), ("empty", ""),
                   ("no-hyphens", "0F8FAD5BD9CB469FA16570867728950E")]:
    add(f"uuid-{label}.plist", first_clock_sub(r"<key>id</key><string>[^<]*</string>", f"<key>id</key><string>{bad}</string>"))

for label, bad in [("capitalised", "Clock"), ("empty", ""), ("time-until-lower", "timeuntil")]:
    add(f"mode-{label}.plist", first_clock_sub(r"<key>mode</key><string>[^<]*</string>", f"<key>mode</key><string>{bad}</string>"))
for label, bad in [("no-space", "29.97DF"), ("sixty", "60"), ("lower-df", "29.97 df")]:
    add(f"frame-rate-{label}.plist", first_clock_sub(r"<key>frameRate</key><string>[^<]*</string>", f"<key>frameRate</key><string>{bad}</string>"))

add("colour-without-alpha.plist", first_clock_sub(r"<key>alpha</key><real>[^<]*</real>", ""))
add("colour-component-is-string.plist", first_clock_sub(r"<key>red</key><real>[^<]*</real>", "<key>red</key><string>0</string>"))
add("colour-is-array.plist", first_clock_sub(r"<key>outlineColor</key><dict>.*?</dict>", "<key>outlineColor</key><array><real>1</real><real>1</real><real>1</real><real>1</real></array>"))

depth = 20_000
add("deep-nesting-xml.plist", '<?xml version="1.0"?><plist version="1.0">' + "<array>" * depth + "</array>" * depth + "</plist>")
add("deep-nesting-dicts.plist", '<?xml version="1.0"?><plist version="1.0">' + "<dict><key>a</key>" * 5000 + "<true/>" + "</dict>" * 5000 + "</plist>")

# A binary property list whose arrays nest 200000 deep, each holding the next.
count = 50_000
body = bytearray(b"bplist00")
offsets = []
for i in range(count):
    offsets.append(len(body))
    if i + 1 < count:
        body += bytes([0xA1]) + (i + 1).to_bytes(3, "big")
    else:
        body += bytes([0xA0])
table = len(body)
for offset in offsets:
    body += offset.to_bytes(3, "big")
body += bytes(6) + bytes([3, 3]) + struct.pack(">QQQ", count, 0, table)
add("deep-nesting-binary.plist", bytes(body))

# A binary property list that refers to itself.
cyclic = bytearray(b"bplist00") + bytes([0xA1, 0x00])
cyclic_table = len(cyclic)
cyclic += bytes([8])
cyclic += bytes(6) + bytes([1, 1]) + struct.pack(">QQQ", 1, 0, cyclic_table)
add("cyclic-binary.plist", bytes(cyclic))

add("entity-bomb.plist", '<?xml version="1.0"?><!DOCTYPE plist [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;"><!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">]><plist version="1.0"><string>&c;</string></plist>')

for name, data in sorted(files.items()):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
print(f"{len(files)} files written to {out}")
