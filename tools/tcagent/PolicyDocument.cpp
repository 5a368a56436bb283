#include "tools/tcagent/PolicyDocument.h"

#include <fmt/compile.h>
#include <fmt/format.h>

#include "tools/tcagent/Quoted.h"

namespace TcAgent {

using namespace BfIngressTrafficClass;

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

Json fileJson(const std::string& source) {
  Json path = unescapedText(source);
  try {
    path.dump();
    return path;
  } catch (const Json::type_error&) {
    return source;
  }
}

Json findingsJson(const Policy& policy, const PolicyFindings& found) {
  Json findings = Json::array();
  for (const Finding& finding : found.findings) {
    findings.push_back(
        {{"kind", finding.kind == Finding::Kind::shadowed ? "neverApplies" : "samePriorityOverlap"},
         {"file", fileJson(policy.source)},
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
