#include "tools/tcagent/PolicyDocument.h"

#include <array>
#include <cstring>
#include <functional>
#include <set>

#include <fmt/compile.h>
#include <fmt/format.h>

#include "tools/tcagent/Quoted.h"

namespace TcAgent {

using namespace BfIngressTrafficClass;
using nlohmann::json;

namespace {

// Why the document is refused, and the line of the document where.
struct DocumentError {
  std::string reason;
  unsigned line;
};

// The line of each byte offset of a text.
class LineIndex {
 public:
  explicit LineIndex(std::string_view text) {
    for (std::size_t at = text.find('\n'); at != std::string_view::npos;
         at = text.find('\n', at + 1)) {
      feeds_.push_back(at);
    }
  }
  unsigned lineOf(std::size_t offset) const {
    return static_cast<unsigned>(std::lower_bound(feeds_.begin(), feeds_.end(), offset) -
                                 feeds_.begin()) +
           1;
  }

 private:
  std::vector<std::size_t> feeds_;
};

// The byte offset at which each element of the top-level "entries" array starts, found by a
// scan of the text, which the parser has found to be a valid document.
std::vector<std::size_t> entryOffsets(std::string_view text) {
  std::vector<std::size_t> offsets;
  int depth = 0;             // of the objects and arrays around the scan
  int entriesDepth = 0;      // the depth inside the "entries" array, while the scan is in it
  std::string_view lastKey;  // the last string of the top object
  for (std::size_t at = 0; at < text.size(); ++at) {
    char c = text[at];
    if (std::strchr(" \t\r\n,:", c)) continue;
    if (entriesDepth && depth == entriesDepth && c != ']') offsets.push_back(at);
    if (c == '"') {
      std::size_t start = at;
      for (++at; text[at] != '"'; ++at)
        at += text[at] == '\\';
      if (depth == 1) lastKey = text.substr(start, at + 1 - start);
    } else if (c == '{' || c == '[') {
      ++depth;
      if (c == '[' && depth == 2 && lastKey == "\"entries\"") entriesDepth = depth;
    } else if (c == '}' || c == ']') {
      if (depth == entriesDepth) entriesDepth = 0;
      --depth;
    } else {
      while (at + 1 < text.size() && !std::strchr(" \t\r\n,]}", text[at + 1]))
        ++at;
    }
  }
  return offsets;
}

// The parser's message without its code, escaped and kept short: the text it quotes may be a
// whole line of the file.
std::string parseErrorReason(const json::exception& error) {
  std::string_view reason = error.what();
  return "not a JSON document: " +
         escapedText(reason.substr(reason.find("] ") + 2), reasonLengthMax);
}

// Objects and arrays within one another: a policy document nests five deep (the document, its
// entries, an entry, its match, a field). Deeper values are refused, since what later walks or
// prints a value recurses once per level.
constexpr std::size_t documentDepthMax = 8;

// A pass over the text's parse events, before the document is read, that refuses what the
// parser itself takes: a key given twice in one object (the parser keeps the last), and values
// nested deeper than a document needs. It reports the parser's own refusals at their line, where
// a parse into values gives none for a number too large.
class DocumentCheck : public nlohmann::json_sax<json> {
 public:
  // An iterator over the text that leaves in the check the last byte the parser read.
  class Reading {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    Reading(const char* at, DocumentCheck& check) : at_(at), check_(&check) {}
    reference operator*() const {
      check_->read_ = at_;
      return *at_;
    }
    Reading& operator++() {
      ++at_;
      return *this;
    }
    Reading operator++(int) { return {at_++, *check_}; }
    bool operator==(const Reading& other) const { return at_ == other.at_; }

   private:
    const char* at_;
    DocumentCheck* check_;
  };

  DocumentCheck(std::string_view text, const LineIndex& lines) : text_(text), lines_(lines) {}

  // A refusal of the check's own is found again, for its line, by a second pass that tracks
  // the parser's reading: tracking every pass would slow it by half.
  void run() {
    try {
      json::sax_parse(text_, this);
    } catch (const DocumentError& error) {
      if (error.line) throw;
      DocumentCheck located(text_, lines_);
      json::sax_parse(Reading(text_.data(), located), Reading(text_.end(), located), &located);
      throw;
    }
  }

  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override {
    opened();
    keys_.emplace_back();
    return true;
  }
  bool key(string_t& key) override {
    if (!keys_.back().insert(key).second)
      throw DocumentError{"key " + quotedText(key) + " given twice", lineRead()};
    return true;
  }
  bool end_object() override {
    keys_.pop_back();
    --depth_;
    return true;
  }
  bool start_array(std::size_t) override {
    opened();
    return true;
  }
  bool end_array() override {
    --depth_;
    return true;
  }
  bool parse_error(std::size_t position, const std::string&,
                   const json::exception& error) override {
    throw DocumentError{parseErrorReason(error), lines_.lineOf(position ? position - 1 : 0)};
  }

 private:
  void opened() {
    if (++depth_ > documentDepthMax)
      throw DocumentError{fmt::format("nested more than {} levels deep", documentDepthMax),
                          lineRead()};
  }
  // 0 while no Reading tracks the parser.
  unsigned lineRead() const {
    return read_ ? lines_.lineOf(static_cast<std::size_t>(read_ - text_.data())) : 0;
  }

  std::string_view text_;
  const LineIndex& lines_;
  const char* read_ = nullptr;  // the last byte the parser read
  std::size_t depth_ = 0;
  std::vector<std::set<std::string>> keys_;  // of each object open around the parse
};

const json& member(const json& object, const char* name, const std::string& where) {
  auto it = object.find(name);
  if (it == object.end()) throw DocumentError{where + " has no \"" + name + "\"", 0};
  return *it;
}

U64 numberOf(const json& value, U64 max, const std::string& what) {
  // The parser reads -0 as a signed integer.
  const bool natural =
      value.is_number_unsigned() || (value.is_number_integer() && value.get<std::int64_t>() == 0);
  if (!natural || value.get<U64>() > max) {
    throw DocumentError{fmt::format("{} must be a number from 0 to {}, not {}", what, max,
                                    escapedText(value.dump())),
                        0};
  }
  return value.get<U64>();
}

void checkKeys(const json& object, std::initializer_list<const char*> known,
               const std::string& where) {
  if (!object.is_object()) {
    throw DocumentError{where + " must be an object, not " + escapedText(object.dump()), 0};
  }
  for (const auto& member : object.items()) {
    const std::string& key = member.key();
    if (std::find_if(known.begin(), known.end(), [&](const char* name) { return key == name; }) ==
        known.end()) {
      throw DocumentError{"unknown key " + quotedText(key) + " in " + where, 0};
    }
  }
}

EntryAction actionOf(const json& entry, const std::string& where) {
  const json& action = member(entry, "action", where);
  checkKeys(action, {"tc", "qid"}, where + " action");
  return {static_cast<U8>(numberOf(member(action, "tc", where + " action"), 255, "tc")),
          static_cast<U8>(numberOf(member(action, "qid", where + " action"), 255, "qid"))};
}

EntryKey keyOf(const json& entry, const std::string& where) {
  EntryKey key;
  auto priority = entry.find("priority");
  if (priority != entry.end())
    key.priority = static_cast<U32>(numberOf(*priority, 0xFFFFFFFF, "priority"));
  auto match = entry.find("match");
  if (match == entry.end()) return key;
  if (!match->is_object()) throw DocumentError{where + " match must be an object", 0};
  std::array<bool, keyFieldCount> fieldGiven{};
  for (const auto& [name, given] : match->items()) {
    std::optional<std::size_t> field = keyFieldNamed(name);
    if (!field) throw DocumentError{"unknown field " + quotedText(name), 0};
    // A field has two names; the parser refuses only the same one twice.
    if (fieldGiven[*field]) throw DocumentError{escapedText(name) + " given twice", 0};
    fieldGiven[*field] = true;
    std::string shortName = keyFields[*field].shortName;
    if (given.is_object()) {
      checkKeys(given, {"value", "mask"}, shortName);
      key.value[*field] =
          static_cast<U8>(numberOf(member(given, "value", shortName), 255, shortName + " value"));
      key.mask[*field] =
          static_cast<U8>(numberOf(member(given, "mask", shortName), 255, shortName + " mask"));
    } else {
      key.value[*field] = static_cast<U8>(numberOf(given, 255, shortName + " value"));
      key.mask[*field] = 0xFF;
    }
    if (std::string fault = maskFault(key, *field); !fault.empty()) throw DocumentError{fault, 0};
  }
  return key;
}

// The parser's callback that reads each element of the top-level "entries" array as soon as it
// is parsed, then drops it from the document: a policy is never held whole as JSON values, which
// take over a kilobyte an entry. Dropping also keeps the parse linear: at the end of each object
// the parser rescans the array around it for a dropped value.
class EntriesReader {
 public:
  EntriesReader(Policy& policy, const std::string& text, const LineIndex& lines)
      : policy_(policy), offsets_(entryOffsets(text)), lines_(lines) {}

  // False drops the value just parsed.
  bool operator()(int depth, json::parse_event_t event, json& parsed) {
    using Event = json::parse_event_t;
    if (depth == 1) {
      if (event == Event::key) entriesNext_ = parsed == "entries";
      if (event == Event::array_start) inEntries_ = entriesNext_;
      if (event == Event::array_end) inEntries_ = false;
      return true;
    }
    const bool elementParsed =
        event == Event::object_end || event == Event::array_end || event == Event::value;
    if (depth != 2 || !inEntries_ || !elementParsed) return true;
    entryRead(parsed);
    return false;
  }

 private:
  void entryRead(const json& entry) {
    if (policy_.entries.size() == policyEntriesMax) throw DocumentError{tooManyEntriesText(), 0};
    const unsigned line = lines_.lineOf(offsets_.at(policy_.entries.size()));
    try {
      checkKeys(entry, {"handle", "priority", "match", "action"}, "the entry");
      policy_.entries.push_back({keyOf(entry, "the entry"), actionOf(entry, "the entry"), line});
    } catch (DocumentError& error) {
      // The line alone does not tell the entry in a document written on one line.
      error.reason = fmt::format("entry {}: {}", policy_.entries.size() + 1, error.reason);
      error.line = line;
      throw;
    }
  }

  Policy& policy_;
  const std::vector<std::size_t> offsets_;
  const LineIndex& lines_;
  bool entriesNext_ = false;  // the last key of the top object is "entries"
  bool inEntries_ = false;
};

// The document's members other than the entries, which the parse has read into `policy`.
void documentRead(const json& document, Policy& policy) {
  if (document.contains("packet")) {
    throw DocumentError{
        "the document holds only the entries that a packet matches (\"packet\"), "
        "not a whole table: show the table without packet fields for a policy",
        0};
  }
  checkKeys(document, {"version", "table", "capacity", "used", "entries", "default", "start"},
            "the document");
  const json& version = member(document, "version", "the document");
  if (!version.is_number_integer() || version != documentVersion) {
    throw DocumentError{fmt::format("document version {} is not one this tcagent reads (it reads "
                                    "version {})",
                                    escapedText(version.dump()), documentVersion),
                        0};
  }
  if (auto table = document.find("table"); table != document.end() && *table != tableName) {
    throw DocumentError{fmt::format("the document is of table {}, not of {}",
                                    escapedText(table->dump()), tableName),
                        0};
  }
  if (!member(document, "entries", "the document").is_array())
    throw DocumentError{"\"entries\" must be an array", 0};
  auto defaultEntry = document.find("default");
  if (defaultEntry != document.end() && !defaultEntry->is_null()) {
    checkKeys(*defaultEntry, {"handle", "action"}, "the default");
    policy.defaultAction = actionOf(*defaultEntry, "the default");
  }
}

}  // namespace

Policy policyOfDocument(const std::string& text, const std::string& name) {
  LineIndex lines(text);
  // The parser takes a NUL byte for the end of the text, and would leave what follows unread.
  if (std::size_t nul = text.find('\0'); nul != std::string::npos) {
    throw PolicyError(name, lines.lineOf(nul),
                      "control character " + escapedText(std::string_view(&text[nul], 1)));
  }
  try {
    DocumentCheck(text, lines).run();
    Policy policy;
    policy.source = name;
    EntriesReader entries(policy, text, lines);
    documentRead(json::parse(text, std::ref(entries)), policy);
    return policy;
  } catch (const DocumentError& error) {
    if (error.line) throw PolicyError(name, error.line, error.reason);
    throw PolicyError(name, error.reason);
  }
}

void appendMatchJson(const EntryKey& key, fmt::memory_buffer& text) {
  auto out = std::back_inserter(text);
  text.push_back('{');
  bool first = true;
  for (std::size_t field = 0; field < keyFieldCount; ++field) {
    if (!key.mask[field]) continue;
    fmt::format_to(out, FMT_COMPILE(R"({}"{}":{{"value":{},"mask":{}}})"), first ? "" : ",",
                   keyFields[field].shortName, key.value[field], key.mask[field]);
    first = false;
  }
  text.push_back('}');
}

void appendActionJson(const EntryAction& action, fmt::memory_buffer& text) {
  fmt::format_to(std::back_inserter(text), FMT_COMPILE(R"({{"tc":{},"qid":{}}})"), action.tc,
                 action.qid);
}

Json matchJson(const EntryKey& key) {
  fmt::memory_buffer text;
  appendMatchJson(key, text);
  return Json::parse(text.begin(), text.end());
}

Json actionJson(const EntryAction& action) {
  fmt::memory_buffer text;
  appendActionJson(action, text);
  return Json::parse(text.begin(), text.end());
}

Json findingsJson(const Policy& policy, const PolicyFindings& found) {
  Json findings = Json::array();
  for (const Finding& finding : found.findings) {
    findings.push_back(
        {{"kind", finding.kind == Finding::Kind::shadowed ? "neverApplies" : "samePriorityOverlap"},
         {"file", policy.source},
         {"line", finding.entry->line},
         {"otherLine", finding.other->line},
         {"message", findingText(finding)}});
  }
  return findings;
}

JsonLinesWriter::~JsonLinesWriter() {
  out_ << (started_ ? "\n}\n" : "{}\n");
}

void JsonLinesWriter::startMember(const std::string& name) {
  out_ << (started_ ? ",\n  " : "{\n  ") << Json(name).dump() << ": ";
  started_ = true;
}

void JsonLinesWriter::flush(fmt::memory_buffer& text) {
  out_.write(text.data(), static_cast<std::streamsize>(text.size()));
  text.clear();
}

void JsonLinesWriter::member(const std::string& name, const Json& value) {
  if (value.is_array()) {
    arrayMember(name, value.size(), [&value](std::size_t index, fmt::memory_buffer& text) {
      text.append(value[index].dump());
    });
  } else {
    startMember(name);
    out_ << value.dump();
  }
}

}  // namespace TcAgent
