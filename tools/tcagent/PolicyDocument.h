// The JSON document of the table: what `show --format json` writes, and a policy that `apply`
// reads. Version 1:
//   {"version": 1, "table": "ingressTrafficClass", "capacity": 512, "used": 2,
//    "entries": [{"handle": 3, "priority": 10, "match": {"dscp": {"value": 46, "mask": 255}},
//                 "action": {"tc": 5, "qid": 5}}, ...],
//    "default": {"handle": 513, "action": {"tc": 0, "qid": 0}},
//    "start": {"readBack": 17, "adopted": 0, "dropped": 0}}
// A policy needs only "version" and "entries" (and "default" for a default action); handles and
// what describes the table are ignored. A field is named by its short or attribute name, and
// its match is an object of value and mask, or one number for an exact match.
#pragma once

#include <ostream>
#include <string>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "tools/tcagent/Policy.h"
#include "tools/tcagent/PolicyCheck.h"
#include "tools/tcagent/PolicySource.h"

namespace TcAgent {

inline constexpr int documentVersion = 1;

// Reads the policy of the document that is the rest of `source`, as it goes, holding none of its
// text. Raises PolicyError naming the line of the document where it is wrong.
Policy policyOfDocument(PolicySource& source);

using Json = nlohmann::ordered_json;

// The parts of the document that other outputs share, appended as JSON text: written with fmt
// rather than built as JSON values, since a million of them must come out in about a second.
// They hold nothing but numbers and fixed names, none of which needs escaping.
void appendMatchJson(const EntryKey& key, fmt::memory_buffer& text);  // fields not wildcards
void appendActionJson(const EntryAction& action, fmt::memory_buffer& text);
// The same parts as JSON values, for outputs of one entry.
Json matchJson(const EntryKey& key);
Json actionJson(const EntryAction& action);
// A policy file named as messages name it (`source`), as JSON names it: by its path, so that a
// program can open it, unless the path is not UTF-8 text, which JSON cannot carry.
Json fileJson(const std::string& source);
// The check's findings, each with its kind, line, other line and message.
Json findingsJson(const Policy& policy, const PolicyFindings& found);

// Writes a JSON object with its members one a line, and the elements of an array member one a
// line each: readable, and a line per entry for line-based tools. An array member can also be
// written element by element, so that a large one need not be held whole.
class JsonLinesWriter {
 public:
  explicit JsonLinesWriter(std::ostream& out) : out_(out) {}
  // Ends the object.
  ~JsonLinesWriter();
  JsonLinesWriter(const JsonLinesWriter&) = delete;
  JsonLinesWriter& operator=(const JsonLinesWriter&) = delete;

  void member(const std::string& name, const Json& value);
  // The array member `name` of `count` elements, each appended as JSON text to the buffer by
  // `element(index, buffer)`.
  template <class Element>
  void arrayMember(const std::string& name, std::size_t count, Element&& element) {
    startMember(name);
    fmt::memory_buffer text;
    text.append(std::string_view(count ? "[\n    " : "[]"));
    for (std::size_t index = 0; index < count; ++index) {
      if (index) text.append(std::string_view(",\n    "));
      element(index, text);
      if (text.size() > flushBytes) flush(text);
    }
    if (count) text.append(std::string_view("\n  ]"));
    flush(text);
  }

 private:
  static constexpr std::size_t flushBytes = 1 << 16;

  void startMember(const std::string& name);
  void flush(fmt::memory_buffer& text);

  std::ostream& out_;
  bool started_ = false;
};

}  // namespace TcAgent
