#include "zeriru/editors/record_codec.h"

#include "platform/sjis.h"
#include "zeriru/defines.h"
#include "zeriru/project_file.h"
#include "number_text.h"

#include <algorithm>

namespace zeriru {

namespace sjis = platform::sjis;
using toolkit_detail::ParseInt;

namespace {

// Start offsets of the fields: field i (0-based) runs from starts[i] to the separator before
// starts[i + 1] (or the end). The walk treats a lead byte and its trail byte as one character.
std::vector<std::size_t> FieldStarts(std::string_view record, char separator) {
    std::vector<std::size_t> starts{0};
    for (std::size_t i = 0; i < record.size(); i = sjis::NextChar(record, i)) {
        if (record[i] == separator) starts.push_back(i + 1);
    }
    return starts;
}

// A lead byte at the very end of a value would read as one character with the separator after
// it.
std::string WithoutDanglingLead(std::string value) {
    if (!value.empty() && !sjis::IsCharBoundary(value + ' ', value.size())) value.pop_back();
    return value;
}

}  // namespace

std::string GetRecordField(std::string_view record, int n, char separator) {
    if (n < 1) return {};
    const std::vector<std::size_t> starts = FieldStarts(record, separator);
    const std::size_t index = static_cast<std::size_t>(n - 1);
    if (index >= starts.size()) return {};
    const std::size_t begin = starts[index];
    const std::size_t end = index + 1 < starts.size() ? starts[index + 1] - 1 : record.size();
    return std::string(record.substr(begin, end - begin));
}

std::vector<std::string> SplitRecord(std::string_view record, char separator) {
    const std::vector<std::size_t> starts = FieldStarts(record, separator);
    std::vector<std::string> fields;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::size_t end = i + 1 < starts.size() ? starts[i + 1] - 1 : record.size();
        fields.emplace_back(record.substr(starts[i], end - starts[i]));
    }
    if (!fields.empty() && fields.back().empty()) fields.pop_back();
    return fields;
}

RecordCodec::RecordCodec(std::string_view kind, char separator, int writtenFields, bool trimTexts,
                         std::vector<RecordField> fields)
    : kind_(kind), separator_(separator), writtenFields_(writtenFields), trimTexts_(trimTexts),
      fields_(std::move(fields)) {}

const RecordField* RecordCodec::Field(int number) const {
    for (const RecordField& f : fields_) {
        if (f.number == number) return &f;
    }
    return nullptr;
}

std::string RecordCodec::Stored(std::string_view record, int n) const { return GetRecordField(record, n, separator_); }

std::string RecordCodec::Text(std::string_view record, int n) const {
    const RecordField* field = Field(n);
    std::string stored = Stored(record, n);
    if (!field) return stored;
    switch (field->kind) {
    case FieldKind::Text:
        return stored.empty() ? std::string(field->readDefault) : DecodeProjectText(stored);
    case FieldKind::Raw:
        return stored.empty() ? std::string(field->readDefault) : stored;
    case FieldKind::Integer:
        return std::to_string(Int(record, n));
    case FieldKind::Boolean:
        return Bool(record, n) ? "1" : "0";
    }
    return stored;
}

int RecordCodec::Int(std::string_view record, int n) const {
    const RecordField* field = Field(n);
    const int def = field ? ParseInt(field->readDefault).value_or(0) : 0;
    return ParseInt(Stored(record, n)).value_or(def);
}

bool RecordCodec::Bool(std::string_view record, int n) const { return Int(record, n) != 0; }

std::string RecordCodec::Encode(const RecordField* field, std::string_view value) const {
    if (!field) return std::string(value);
    switch (field->kind) {
    case FieldKind::Text:
        return EncodeProjectText(trimTexts_ ? TrimText(value) : std::string(value));
    case FieldKind::Boolean:
        return ParseInt(value).value_or(0) != 0 ? "1" : "0";
    case FieldKind::Integer:
    case FieldKind::Raw:
        break;
    }
    return std::string(value);
}

std::string RecordCodec::Update(std::string_view record, const FieldValues& changes) const {
    std::vector<std::string> fields;
    const std::vector<std::size_t> starts = FieldStarts(record, separator_);
    // The record's own fields, as far as it has them: every field followed by a separator, and
    // the text after the last separator when there is any.
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::size_t end = i + 1 < starts.size() ? starts[i + 1] - 1 : record.size();
        if (i + 1 == starts.size() && end == starts[i]) break;
        fields.emplace_back(record.substr(starts[i], end - starts[i]));
    }
    int highest = writtenFields_;
    if (!changes.empty()) highest = std::max(highest, changes.rbegin()->first);
    if (static_cast<int>(fields.size()) < highest) fields.resize(static_cast<std::size_t>(highest));
    for (const auto& [number, value] : changes) {
        if (number < 1) continue;
        fields[static_cast<std::size_t>(number - 1)] = WithoutDanglingLead(Encode(Field(number), value));
    }
    std::string out;
    for (const std::string& f : fields) {
        out += f;
        out += separator_;
    }
    return out;
}

std::string RecordCodec::Dump(std::string_view record) const {
    std::string out = kind_ + "{";
    bool first = true;
    for (const RecordField& f : fields_) {
        if (!first) out += ", ";
        first = false;
        out += std::string(f.name) + "=" + Text(record, f.number);
    }
    return out + "}";
}

}  // namespace zeriru
