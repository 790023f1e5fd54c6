// One codec per kind of item record: the table of its fields (number, name, kind, read
// default) and the separator. Reading gives what a dialog shows (texts decoded, the read
// default for an empty or unreadable field); writing replaces the fields a dialog changed and
// keeps every other field byte for byte, so a record that an editor does not understand
// survives an edit of the fields it does. Dump() prints a record as one line for tests.
//
//   const RecordCodec& codec = RegistryItemCodec();          // record_kinds.h
//   std::string name = codec.Text(record, registry_item::kValueName);
//   record = codec.Update(record, {{registry_item::kValue, "1"}});
//
// Records separated by "|" are written as twenty fields, each followed by "|", as every
// program-changed record of a project is; records separated by "," (the condition record, the
// program's display record) with their own number of fields.
#pragma once

#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zeriru {

// Field `n` (1-based) of a record with any single-byte separator, walking Shift-JIS characters
// (a trail byte equal to the separator does not split): the text between the (n-1)-th and the
// n-th separator, the rest after the (n-1)-th when there is no n-th, empty otherwise.
std::string GetRecordField(std::string_view record, int n, char separator);
// The fields of a record, as GetRecordField would give them one by one (the text after the
// last separator is a field only when it is not empty).
std::vector<std::string> SplitRecord(std::string_view record, char separator);

enum class FieldKind {
    Text,     // a user text: escaped (EncodeProjectText) in the record, decoded when read
    Raw,      // stored as it is: define names, numbers kept as text, sub-records
    Integer,  // a decimal number; the read default when empty or not a number
    Boolean,  // "1" or "0"; an integer other than 0 reads as true
};

struct RecordField {
    int number = 0;             // 1-based
    std::string_view name;      // for the dump and for people reading tests
    FieldKind kind = FieldKind::Raw;
    std::string_view readDefault;  // what an empty (or unreadable number) field reads as
};

// Field number -> new value, as a dialog shows it (decoded text, a number as text).
using FieldValues = std::map<int, std::string>;

class RecordCodec {
public:
    // `writtenFields`: how many fields a write gives the record (20 for "|" records).
    // `trimTexts`: text fields lose leading and trailing blanks when stored.
    RecordCodec(std::string_view kind, char separator, int writtenFields, bool trimTexts,
                std::vector<RecordField> fields);

    std::string_view kind() const { return kind_; }
    char separator() const { return separator_; }
    const std::vector<RecordField>& fields() const { return fields_; }
    // The description of a field; nullptr for a number the table does not name.
    const RecordField* Field(int number) const;

    // ---- reading ----
    // Raw or text (decoded) value of field n; the read default when the field is empty.
    std::string Text(std::string_view record, int n) const;
    int Int(std::string_view record, int n) const;
    bool Bool(std::string_view record, int n) const;
    // The field exactly as stored (no decoding, no default).
    std::string Stored(std::string_view record, int n) const;

    // ---- writing ----
    // `record` with the fields of `changes` replaced: text fields encoded (and trimmed when the
    // codec trims), booleans as "1"/"0", everything else as given. Every other field is kept
    // byte for byte. The result has `writtenFields` fields, each followed by the separator (more
    // when the old record had more); a lead byte left alone at the end of a value is dropped,
    // since before the separator it would merge two fields.
    std::string Update(std::string_view record, const FieldValues& changes) const;
    // A new record from the given fields; the others empty.
    std::string Make(const FieldValues& values) const { return Update({}, values); }

    // ---- tests ----
    // "kind{name=value, ...}" with every named field as Text()/Int() reads it (Shift-JIS).
    std::string Dump(std::string_view record) const;

private:
    std::string Encode(const RecordField* field, std::string_view value) const;

    std::string kind_;
    char separator_;
    int writtenFields_;
    bool trimTexts_;
    std::vector<RecordField> fields_;
};

// Booleans and integers for FieldValues.
inline std::string FieldInt(int value) { return std::to_string(value); }
inline std::string FieldBool(bool value) { return value ? "1" : "0"; }

}  // namespace zeriru
