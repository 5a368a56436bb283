// Reads a policy from the JSON document of the table, as the parser meets its values.
#include "tools/tcagent/PolicyDocument.h"

#include <algorithm>
#include <span>

#include <fmt/format.h>

#include "tools/tcagent/Progress.h"
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

// What the parser has read of the source: the piece of it left to read, the line of the last
// byte read, and whether a NUL byte was read, which the parser takes for the end of the text.
struct Reading {
  PolicySource& source;
  std::string_view piece;
  unsigned line = 1;
  bool fed = false;  // the last byte read is a line feed, which counts once the next is read
  bool nul = false;

  // Whether any byte is left, reading the next piece once this one is read.
  bool more() {
    if (piece.empty()) piece = source.readPiece();
    return !piece.empty();
  }
};

// The source's bytes for the parser, which reads them one at a time, counting lines as it goes:
// a line feed counts once the byte after it is read, since the parser reads a byte past a number,
// and a number at the end of a line is still on that line. As with std::istreambuf_iterator,
// every iterator over the source is the same one, and equals the end once nothing is left.
class SourceBytes {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  SourceBytes() = default;  // the end
  explicit SourceBytes(Reading& reading) : reading_(&reading) {}
  reference operator*() const { return reading_->piece.front(); }
  SourceBytes& operator++() {
    Reading& reading = *reading_;
    const char byte = reading.piece.front();
    reading.piece.remove_prefix(1);
    reading.line += reading.fed;
    reading.fed = byte == '\n';
    reading.nul |= byte == '\0';
    return *this;
  }
  SourceBytes operator++(int) {
    SourceBytes before = *this;
    ++*this;
    return before;
  }
  bool operator==(const SourceBytes& other) const { return atEnd() == other.atEnd(); }

 private:
  bool atEnd() const { return !reading_ || !reading_->more(); }

  Reading* reading_ = nullptr;
};

// The parser's message without its code, escaped and kept short: the text it quotes may be a
// whole line of the file.
std::string parseErrorReason(const json::exception& error) {
  std::string_view reason = error.what();
  return "not a JSON document: " +
         escapedText(reason.substr(reason.find("] ") + 2), reasonLengthMax);
}

// Objects and arrays within one another: a policy document nests five deep (the document, its
// entries, an entry, its match, a field). Deeper values are refused.
constexpr std::size_t documentDepthMax = 8;

// What the reader takes the next value of the document for.
enum class Slot : U8 {
  document,
  version,
  table,
  entries,
  entry,
  priority,
  match,
  field,  // a number for an exact match, or an object of value and mask
  fieldValue,
  fieldMask,
  tc,
  qid,
  defaultEntry,
  action,
  ignored,  // any value
};

// An object or array open around the reader.
enum class Kind : U8 {
  document,
  entries,
  entry,
  match,
  field,
  entryAction,
  defaultEntry,
  defaultAction,
  ignoredObject,
  ignoredArray,
};

// A member of an object that the reader knows.
struct Member {
  std::string_view name;
  Slot slot;
  bool required = false;
};

constexpr Member documentMembers[] = {
    {"version", Slot::version, true}, {"table", Slot::table},
    {"capacity", Slot::ignored},      {"used", Slot::ignored},
    {"entries", Slot::entries, true}, {"default", Slot::defaultEntry},
    {"start", Slot::ignored}};
constexpr Member entryMembers[] = {{"handle", Slot::ignored},
                                   {"priority", Slot::priority},
                                   {"match", Slot::match},
                                   {"action", Slot::action, true}};
constexpr Member defaultMembers[] = {{"handle", Slot::ignored}, {"action", Slot::action, true}};
constexpr Member actionMembers[] = {{"tc", Slot::tc, true}, {"qid", Slot::qid, true}};
constexpr Member fieldMembers[] = {{"value", Slot::fieldValue, true},
                                   {"mask", Slot::fieldMask, true}};

// The members of an object of the kind; none for a match (whose members are fields) and what
// the reader ignores.
std::span<const Member> membersOf(Kind kind) {
  switch (kind) {
    case Kind::document:
      return documentMembers;
    case Kind::entry:
      return entryMembers;
    case Kind::defaultEntry:
      return defaultMembers;
    case Kind::entryAction:
    case Kind::defaultAction:
      return actionMembers;
    case Kind::field:
      return fieldMembers;
    default:
      return {};
  }
}

// A value as the reader meets it: a scalar whole, or the start of an object or array.
struct Given {
  enum class Type : U8 { scalar, object, array } type;
  const json* scalar = nullptr;

  // As a message gives it: a scalar as JSON text, a container by its type alone, since it may
  // hold the rest of the document.
  std::string text() const {
    if (type == Type::scalar) return escapedText(scalar->dump());
    return type == Type::object ? "an object" : "an array";
  }
};

// Reads a policy from the parser's events, value by value, without holding the document as JSON
// values (which take over a kilobyte an entry), and refuses it at its first fault. Beside what a
// policy must be, it refuses what the parser itself takes: a key given twice in an object that
// it reads (the parser keeps the last), and values nested deeper than a document needs.
class DocumentReader final : public nlohmann::json_sax<json> {
 public:
  DocumentReader(Policy& policy, PolicySource& source) : policy_(policy), reading_{source, {}} {}

  void run() {
    json::sax_parse(SourceBytes(reading_), SourceBytes(), this);
    refuseAnyNul();
  }

  bool null() override { return scalarRead(json()); }
  bool boolean(bool value) override { return scalarRead(json(value)); }
  bool number_integer(number_integer_t value) override { return scalarRead(json(value)); }
  bool number_unsigned(number_unsigned_t value) override { return scalarRead(json(value)); }
  bool number_float(number_float_t value, const string_t&) override {
    return scalarRead(json(value));
  }
  bool string(string_t& value) override { return scalarRead(json(std::move(value))); }
  bool binary(binary_t&) override { return true; }  // never in a text document
  bool start_object(std::size_t) override { return opened(Given::Type::object); }
  bool start_array(std::size_t) override { return opened(Given::Type::array); }
  bool key(string_t& name) override {
    memberNamed(name);
    return true;
  }
  bool end_object() override { return closed(); }
  bool end_array() override { return closed(); }
  bool parse_error(std::size_t, const std::string&, const json::exception& error) override {
    refuseAnyNul();
    throw DocumentError{parseErrorReason(error), reading_.line};
  }

 private:
  struct Frame {
    Kind kind;
    unsigned given = 0;  // a bit for each member of its shape, or each field of a match
  };

  // The parser stops at a NUL byte as at the end of the text, and whatever it made of the text
  // before, the byte is the fault.
  void refuseAnyNul() const {
    if (reading_.nul)
      throw DocumentError{"control character " + escapedText(std::string_view("\0", 1)),
                          reading_.line};
  }

  [[noreturn]] void refuse(const std::string& reason) const {
    refuseAnyNul();
    // The line alone does not tell the entry in a document written on one line.
    if (inEntry_)
      throw DocumentError{fmt::format("entry {}: {}", policy_.entries.size() + 1, reason),
                          entry_.line};
    throw DocumentError{reason, reading_.line};
  }
  // `what` and `part` name the number; the message is made only for a refusal.
  U64 numberOf(const Given& given, U64 max, std::string_view what,
               std::string_view part = {}) const {
    const json* value = given.scalar;
    // The parser reads -0 as a signed integer.
    const bool natural = value && (value->is_number_unsigned() ||
                                   (value->is_number_integer() && value->get<std::int64_t>() == 0));
    if (!natural || value->get<U64>() > max)
      refuse(
          fmt::format("{}{} must be a number from 0 to {}, not {}", what, part, max, given.text()));
    return value->get<U64>();
  }

  std::string whereOf(Kind kind) const {
    switch (kind) {
      case Kind::document:
        return "the document";
      case Kind::entry:
        return "the entry";
      case Kind::field:
        return fieldName();
      case Kind::entryAction:
        return "the entry action";
      case Kind::defaultEntry:
        return "the default";
      case Kind::defaultAction:
        return "the default action";
      default:
        return {};
    }
  }
  const char* fieldName() const { return keyFields[field_].shortName; }

  void entryStarted() {
    ProgressPhase::tick(policy_.entries.size());
    inEntry_ = true;
    entry_ = {{}, {}, reading_.line};
    if (policy_.entries.size() == policyEntriesMax) refuse(tooManyEntriesText());
  }

  // Takes the value met in the slot, or refuses it; gives the kind of the frame that a container
  // opens.
  Kind valueMet(const Given& given) {
    const bool object = given.type == Given::Type::object;
    switch (slot_) {
      case Slot::document:
        if (!object) refuse("the document must be an object, not " + given.text());
        return Kind::document;
      case Slot::version:
        if (!given.scalar || !given.scalar->is_number_integer() ||
            *given.scalar != documentVersion) {
          refuse(
              fmt::format("document version {} is not one this tcagent reads (it reads version {})",
                          given.text(), documentVersion));
        }
        break;
      case Slot::table:
        if (!given.scalar || *given.scalar != tableName)
          refuse(fmt::format("the document is of table {}, not of {}", given.text(), tableName));
        break;
      case Slot::entries:
        if (given.type != Given::Type::array) refuse("\"entries\" must be an array");
        return Kind::entries;
      case Slot::entry:
        entryStarted();
        if (!object) refuse("the entry must be an object, not " + given.text());
        return Kind::entry;
      case Slot::priority:
        entry_.key.priority = static_cast<U32>(numberOf(given, 0xFFFFFFFF, "priority"));
        break;
      case Slot::match:
        if (!object) refuse("the entry match must be an object");
        return Kind::match;
      case Slot::field:  // a number alone: an exact match of it
        if (object) return Kind::field;
        entry_.key.mask[field_] = 0xFF;
        [[fallthrough]];
      case Slot::fieldValue:
        entry_.key.value[field_] = static_cast<U8>(numberOf(given, 255, fieldName(), " value"));
        break;
      case Slot::fieldMask:
        entry_.key.mask[field_] = static_cast<U8>(numberOf(given, 255, fieldName(), " mask"));
        break;
      case Slot::tc:
        action_.tc = static_cast<U8>(numberOf(given, 255, "tc"));
        break;
      case Slot::qid:
        action_.qid = static_cast<U8>(numberOf(given, 255, "qid"));
        break;
      case Slot::defaultEntry:
        if (object) return Kind::defaultEntry;
        if (!given.scalar || !given.scalar->is_null())
          refuse("the default must be an object, not " + given.text());
        break;
      case Slot::action: {
        const bool ofEntry = frames_.back().kind == Kind::entry;
        if (!object) {
          refuse(fmt::format("{} action must be an object, not {}", whereOf(frames_.back().kind),
                             given.text()));
        }
        return ofEntry ? Kind::entryAction : Kind::defaultAction;
      }
      case Slot::ignored:
        break;
    }
    return object ? Kind::ignoredObject : Kind::ignoredArray;
  }

  // The slot of the next value of an array: its elements are all alike. An object's next member
  // names its own.
  void awaitElement() {
    if (frames_.empty()) return;
    if (frames_.back().kind == Kind::entries) slot_ = Slot::entry;
    if (frames_.back().kind == Kind::ignoredArray) slot_ = Slot::ignored;
  }

  bool scalarRead(const json& value) {
    valueMet({Given::Type::scalar, &value});
    awaitElement();
    return true;
  }

  bool opened(Given::Type type) {
    if (frames_.size() == documentDepthMax)
      refuse(fmt::format("nested more than {} levels deep", documentDepthMax));
    frames_.push_back({valueMet({type})});
    awaitElement();
    return true;
  }

  void memberNamed(const std::string& name) {
    Frame& frame = frames_.back();
    if (frame.kind == Kind::match) return fieldNamed(frame, name);
    // What an ignored object holds is not kept, not even its keys: a key given twice there
    // changes nothing, and the object may be as large as the file.
    if (frame.kind == Kind::ignoredObject) {
      slot_ = Slot::ignored;
      return;
    }
    if (frame.kind == Kind::document && name == "packet") {
      refuse(partOfTableText("the document", " (\"packet\")"));
    }
    const std::span<const Member> members = membersOf(frame.kind);
    auto member = std::find_if(members.begin(), members.end(),
                               [&](const Member& known) { return known.name == name; });
    if (member == members.end())
      refuse("unknown key " + quotedText(name) + " in " + whereOf(frame.kind));
    const unsigned bit = 1u << (member - members.begin());
    if (frame.given & bit) refuse("key " + quotedText(name) + " given twice");
    frame.given |= bit;
    slot_ = member->slot;
  }

  // A field has two names, and may be given under only one of them.
  void fieldNamed(Frame& match, const std::string& name) {
    std::optional<std::size_t> field = keyFieldNamed(name);
    if (!field) refuse("unknown field " + quotedText(name));
    if (match.given & 1u << *field) refuse(escapedText(name) + " given twice");
    match.given |= 1u << *field;
    field_ = *field;
    slot_ = Slot::field;
  }

  bool closed() {
    const Frame& frame = frames_.back();
    const std::span<const Member> members = membersOf(frame.kind);
    for (std::size_t member = 0; member < members.size(); ++member) {
      if (members[member].required && !(frame.given >> member & 1))
        refuse(fmt::format("{} has no \"{}\"", whereOf(frame.kind), members[member].name));
    }
    switch (frame.kind) {
      case Kind::field:
        if (std::string fault = maskFault(entry_.key, field_); !fault.empty()) refuse(fault);
        break;
      case Kind::entryAction:
        entry_.action = action_;
        break;
      case Kind::entry:
        policy_.entries.push_back(entry_);
        inEntry_ = false;
        break;
      case Kind::defaultAction:
        policy_.defaultAction = action_;
        break;
      default:
        break;
    }
    frames_.pop_back();
    awaitElement();
    return true;
  }

  Policy& policy_;
  Reading reading_;
  std::vector<Frame> frames_;  // the objects and arrays open around the reader
  Slot slot_ = Slot::document;
  bool inEntry_ = false;
  PolicyEntry entry_;  // the entry being read
  EntryAction action_;
  std::size_t field_ = 0;  // the field being read
};

}  // namespace

Policy policyOfDocument(PolicySource& source) {
  try {
    Policy policy;
    policy.source = source.name();
    ProgressPhase reading("reading the policy");
    DocumentReader(policy, source).run();
    return policy;
  } catch (const DocumentError& error) {
    throw PolicyError(source.name(), error.line, error.reason);
  }
}

}  // namespace TcAgent
