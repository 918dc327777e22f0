#include "plistguard.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace tavix {

namespace {

bool startsWithAt(const QByteArray& bytes, qsizetype at, const char* text) {
    const auto length = static_cast<qsizetype>(std::strlen(text));
    return at + length <= bytes.size() &&
           std::memcmp(bytes.constData() + at, text, static_cast<size_t>(length)) == 0;
}

// Counts open <array> and <dict> elements. Text inside comments or CDATA may be counted too; that
// only errs towards refusing a file, never towards parsing one too deep.
bool xmlNestingIsSafe(const QByteArray& bytes, QString* error) {
    int depth = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '<') {
            continue;
        }
        const bool closing = i + 1 < bytes.size() && bytes[i + 1] == '/';
        const qsizetype nameStart = closing ? i + 2 : i + 1;
        qsizetype nameEnd = nameStart;
        if (startsWithAt(bytes, nameStart, "array")) {
            nameEnd = nameStart + 5;
        } else if (startsWithAt(bytes, nameStart, "dict")) {
            nameEnd = nameStart + 4;
        } else {
            continue;
        }
        qsizetype tagEnd = nameEnd;
        while (tagEnd < bytes.size() && bytes[tagEnd] != '>') {
            ++tagEnd;
        }
        const bool selfClosing = tagEnd < bytes.size() && tagEnd > nameEnd && bytes[tagEnd - 1] == '/';
        if (closing) {
            depth = depth > 0 ? depth - 1 : 0;
        } else if (!selfClosing) {
            if (++depth > kMaximumPlistNesting) {
                if (error) {
                    *error = QStringLiteral("the property list nests deeper than %1 levels")
                                 .arg(kMaximumPlistNesting);
                }
                return false;
            }
        }
        i = tagEnd;
    }
    return true;
}

std::uint64_t readBigEndian(const unsigned char* data, int size) {
    std::uint64_t value = 0;
    for (int i = 0; i < size; ++i) {
        value = (value << 8) | data[i];
    }
    return value;
}

// Walks the object graph of a binary property list without recursion and computes the nesting
// depth of every container once (shared children are not walked again). A reference cycle counts
// as too deep.
bool binaryNestingIsSafe(const QByteArray& bytes, QString* error) {
    auto fail = [error](const QString& why) {
        if (error) {
            *error = why;
        }
        return false;
    };
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto size = static_cast<std::uint64_t>(bytes.size());
    if (size < 8 + 32) {
        return fail(QStringLiteral("the binary property list is truncated"));
    }
    const unsigned char* trailer = data + size - 32;
    const int offsetSize = trailer[6];
    const int refSize = trailer[7];
    const std::uint64_t objectCount = readBigEndian(trailer + 8, 8);
    const std::uint64_t topObject = readBigEndian(trailer + 16, 8);
    const std::uint64_t offsetTable = readBigEndian(trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8 || objectCount == 0 ||
        topObject >= objectCount || offsetTable >= size - 32 ||
        objectCount > (size - 32 - offsetTable) / static_cast<std::uint64_t>(offsetSize)) {
        return fail(QStringLiteral("the binary property list has a malformed trailer"));
    }

    auto objectOffset = [&](std::uint64_t index) {
        return readBigEndian(data + offsetTable + index * static_cast<std::uint64_t>(offsetSize), offsetSize);
    };

    // Children of a container object, or none for scalars; false when the object is malformed.
    auto children = [&](std::uint64_t index, std::vector<std::uint64_t>& out) {
        out.clear();
        const std::uint64_t offset = objectOffset(index);
        if (offset < 8 || offset >= offsetTable) {
            return false;
        }
        const unsigned char marker = data[offset];
        const int kind = marker >> 4;
        if (kind != 0xA && kind != 0xC && kind != 0xD) {
            return true;
        }
        std::uint64_t count = marker & 0x0F;
        std::uint64_t position = offset + 1;
        if (count == 0x0F) {
            if (position >= offsetTable || (data[position] >> 4) != 0x1) {
                return false;
            }
            const int countSize = 1 << (data[position] & 0x0F);
            if (countSize > 8 || position + 1 + static_cast<std::uint64_t>(countSize) > offsetTable) {
                return false;
            }
            count = readBigEndian(data + position + 1, countSize);
            position += 1 + static_cast<std::uint64_t>(countSize);
        }
        const std::uint64_t refs = kind == 0xD ? count * 2 : count;
        if (count > size || refs > (offsetTable - position) / static_cast<std::uint64_t>(refSize)) {
            return false;
        }
        out.reserve(static_cast<size_t>(refs));
        for (std::uint64_t r = 0; r < refs; ++r) {
            const std::uint64_t child =
                readBigEndian(data + position + r * static_cast<std::uint64_t>(refSize), refSize);
            if (child >= objectCount) {
                return false;
            }
            out.push_back(child);
        }
        return true;
    };

    constexpr int kUnvisited = -1;
    constexpr int kInProgress = -2;
    std::vector<int> depth(static_cast<size_t>(objectCount), kUnvisited);
    struct Frame {
        std::uint64_t index;
        std::vector<std::uint64_t> children;
        size_t next = 0;
        int deepestChild = 0;
    };
    std::vector<Frame> stack;
    std::vector<std::uint64_t> scratch;

    if (!children(topObject, scratch)) {
        return fail(QStringLiteral("the binary property list has a malformed object"));
    }
    stack.push_back({topObject, scratch});
    depth[static_cast<size_t>(topObject)] = kInProgress;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next < frame.children.size()) {
            const std::uint64_t child = frame.children[frame.next++];
            const int known = depth[static_cast<size_t>(child)];
            if (known == kInProgress) {
                return fail(QStringLiteral("the binary property list refers to itself"));
            }
            if (known >= 0) {
                frame.deepestChild = std::max(frame.deepestChild, known);
                continue;
            }
            if (!children(child, scratch)) {
                return fail(QStringLiteral("the binary property list has a malformed object"));
            }
            if (stack.size() >= static_cast<size_t>(kMaximumPlistNesting)) {
                return fail(QStringLiteral("the property list nests deeper than %1 levels")
                                .arg(kMaximumPlistNesting));
            }
            depth[static_cast<size_t>(child)] = kInProgress;
            stack.push_back({child, scratch});
            continue;
        }
        const int own = frame.children.empty() ? 0 : frame.deepestChild + 1;
        depth[static_cast<size_t>(frame.index)] = own;
        stack.pop_back();
        if (!stack.empty()) {
            stack.back().deepestChild = std::max(stack.back().deepestChild, own);
        }
    }
    return true;
}

} // namespace

bool plistNestingIsSafe(const QByteArray& bytes, QString* error) {
    if (bytes.startsWith("bplist00")) {
        return binaryNestingIsSafe(bytes, error);
    }
    return xmlNestingIsSafe(bytes, error);
}

} // namespace tavix
