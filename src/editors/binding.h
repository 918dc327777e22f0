#pragma once

#include <functional>

namespace tavix {

/// A read/write handle on one value that lives elsewhere (a field of a clock record, a setting).
/// Editors read through `get` on every refresh and write through `set` on every edit.
template <typename T>
struct Binding {
    std::function<T()> get;
    std::function<void(const T&)> set;
};

/// A binding on one field of a record that is itself reached through `record`.
template <typename Record, typename T>
Binding<T> memberBinding(const Binding<Record>& record, T Record::*field) {
    return {[record, field] { return record.get().*field; },
            [record, field](const T& value) {
                Record copy = record.get();
                copy.*field = value;
                record.set(copy);
            }};
}

/// A binding through a getter and setter pair of a record reached through `record`.
template <typename Record, typename T>
Binding<T> accessorBinding(const Binding<Record>& record, T (Record::*read)() const,
                           void (Record::*write)(T)) {
    return {[record, read] { return (record.get().*read)(); },
            [record, write](const T& value) {
                Record copy = record.get();
                (copy.*write)(value);
                record.set(copy);
            }};
}

} // namespace tavix
