// The table entry: its string form, both parsers and their failures, and the entry as a
// reflected value.
#include <gtest/gtest.h>

#include <cstddef>
#include <new>
#include <string>

#include "BfIngressTrafficClass/IngressTrafficClassTableEntry.h"
#include "BfIngressTrafficClass/KivModule.h"
#include "LeakCheckedTest.h"
#include "ReflectionAccess.h"
#include "platform/Kiv/Exception.h"

namespace BfIngressTrafficClass {
namespace {

using Entry = IngressTrafficClassTableEntry;

const std::string head = "Value('BfIngressTrafficClass::IngressTrafficClassTableEntry', ** {";
const std::string fullText =
    head +
    "'match': Ptr('BfIngressTrafficClass::IngressTrafficClassMatchSpec', ** {'zorvikCpuHdrTc': 7, "
    "'zorvikCpuHdrTcMask': 0, 'zorvikCpuHdrTrustMode': 0, 'zorvikCpuHdrTrustModeMask': 0, "
    "'egrMdDecapType': 0, 'egrMdDecapTypeMask': 15, 'priority': 4000000000, 'qosMdCos': 0, "
    "'qosMdCosMask': 0, 'qosMdDefaultCos': 0, 'qosMdDefaultCosMask': 0, 'qosMdDscp': 46, "
    "'qosMdDscpMask': 255, 'qosMdHighPriority': 0, 'qosMdHighPriorityMask': 0, "
    "'qosMdTrustMode': 0, 'qosMdTrustModeMask': 3}), 'action': "
    "Ptr('BfIngressTrafficClass::SetTrafficClassAndEgressQidActionSpec', ** {'actionType': "
    "setTrafficClassAndEgressQidActionSpec, 'qid': 5, 'tc': 3})})";

std::string entryText(const std::string& match, const std::string& action) {
  return head + "'match': " + match + ", 'action': " + action + "})";
}
std::string objectText(const std::string& className, const std::string& attributes) {
  return "Ptr('BfIngressTrafficClass::" + className + "', ** {" + attributes + "})";
}
const std::string matchText = objectText("IngressTrafficClassMatchSpec", "'qosMdDscp': 46");
const std::string actionText = objectText("SetTrafficClassAndEgressQidActionSpec", "'tc': 6");

Entry parsed(const std::string& text) {
  Kiv::CharRange range(text);
  return Entry(range);
}

// What parsing `text` raised: the exception class and what places the failure. The conversion
// of a whole string parses alike, then checks that no text is left.
std::string failureOf(const std::string& text) {
  try {
    parsed(text);
  } catch (const Kiv::ParseException& e) {
    return "ParseException at " + std::to_string(e.position());
  } catch (const Kiv::AttributeDeserializationException& e) {
    return "AttributeDeserializationException in " + e.attribute();
  } catch (const Kiv::ConversionException& e) {
    return "ConversionException to " + e.expectedClass();
  }
  return "nothing";
}

class TableEntryTest : public Testing::LeakCheckedTest {};

// Only the conversion of a whole string refuses text after the entry.
TEST_F(TableEntryTest, PrintsAndParsesTheFullAndTheEmptyEntry) {
  const Entry full = parsed(fullText);
  for (const auto& [printed, text] :
       {std::pair(full, fullText), std::pair(Entry(), entryText("None", "None"))}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(valueToStrep(printed), text);
    EXPECT_EQ(Kiv::valueToStrep(kivTypeTableEntry, &printed), text);
    EXPECT_EQ(valueToStrep(parsed(text + " ")), text);
    Entry converted(full.match());
    Kiv::valueFromStrep(kivTypeTableEntry, text, &converted);
    EXPECT_EQ(valueToStrep(converted), text);
    EXPECT_THROW(Kiv::valueFromStrep(kivTypeTableEntry, text + " ", &converted),
                 Kiv::ParseException);
  }
}

TEST_F(TableEntryTest, ParsersRefuseMalformedTextAndReleaseWhatTheyMade) {
  const std::pair<std::string, std::string> cases[] = {
      {"Value('IngressTrafficClassTableEntry', ** {'match': None, 'action': None})",
       "ParseException at 0"},
      {head + "'match': None; 'action': None})",
       "ParseException at " + std::to_string(head.size() + 13)},
      {entryText(objectText("IngressTrafficClassMatchSpec", "'qosMdDscp': 300"), "None"),
       "AttributeDeserializationException in match"},
      {entryText(matchText, objectText("SetTrafficClassAndEgressQidActionSpec", "'actionType': x")),
       "AttributeDeserializationException in action"},
      {entryText(actionText, "None"),
       "ConversionException to BfIngressTrafficClass::IngressTrafficClassMatchSpec"},
      {entryText(matchText, matchText),
       "ConversionException to BfIngressTrafficClass::IngressTrafficClassBaseActionSpec"},
  };
  for (const auto& [text, failure] : cases)
    EXPECT_EQ(failureOf(text), failure) << text;
  for (std::size_t length = 0; length < fullText.size(); ++length)
    EXPECT_NE(failureOf(fullText.substr(0, length)), "nothing") << length;
}

// The entry that reflection's value constructor makes from its one argument, `match`.
Entry constructedEntry(const Kiv::Ptr<Kiv::PtrInterface>& match) {
  const void* in[] = {&match};
  alignas(Entry) std::byte raw[sizeof(Entry)];
  kivTypeTableEntry.newValue(kivTypeTableEntry, raw, in);
  Entry* made = std::launder(reinterpret_cast<Entry*>(raw));
  const Entry entry = *made;
  made->~Entry();
  return entry;
}

// Code 11 or 12 on an entry as a whole; code 12 compares it with `other`.
bool wholeEntryAnswer(U32 code, Entry entry, const Entry& other = {}) {
  bool answer = false;
  const void* in[] = {&other};
  EXPECT_EQ(Kiv::attributeOp(kivTypeTableEntry, &entry, 0, code, in, &answer),
            Kiv::AttributeAnswer::done);
  return answer;
}

// Entries are equal when they hold the same objects, whatever their values, and cannot be hashed.
TEST_F(TableEntryTest, ReflectionMakesReadsWritesAndComparesEntries) {
  Entry entry = parsed(fullText);
  const Entry same = entry, twin = parsed(fullText);
  const IngressTrafficClassMatchSpec::Ptr match = ingressTrafficClassMatchSpecFactory();
  EXPECT_EQ(constructedEntry(match), Entry(match));
  EXPECT_THROW(constructedEntry(setTrafficClassAndEgressQidActionSpecFactory()),
               Kiv::ConversionException);
  EXPECT_TRUE(wholeEntryAnswer(Kiv::AttributeCode::equal, entry, same));
  EXPECT_FALSE(
      wholeEntryAnswer(Kiv::AttributeCode::equal, entry, Entry(twin.match(), same.action())));
  EXPECT_FALSE(
      wholeEntryAnswer(Kiv::AttributeCode::equal, entry, Entry(same.match(), twin.action())));
  EXPECT_FALSE(wholeEntryAnswer(Kiv::AttributeCode::nonEmpty, Entry()));
  EXPECT_TRUE(wholeEntryAnswer(Kiv::AttributeCode::nonEmpty, Entry(nullptr, entry.action())));
  EXPECT_THROW(kivTypeTableEntry.valueOps->hash(kivTypeTableEntry, &entry),
               Kiv::UnhashableTypeException);

  using Testing::readAttribute;
  EXPECT_EQ(entryText(readAttribute(kivTypeTableEntry, &entry, 2).text,
                      readAttribute(kivTypeTableEntry, &entry, 3).text),
            fullText);
  EXPECT_EQ(readAttribute(kivTypeTableEntry, &entry, 4).answer, 2);
  EXPECT_EQ(Testing::writeAttribute(kivTypeTableEntry, &entry, 2, "None"), 1);
  EXPECT_EQ(Testing::writeAttribute(kivTypeTableEntry, &entry, 3, actionText), 0);
  EXPECT_EQ(entry.match(), same.match());
  EXPECT_EQ(entry.action()->tc(), 6);
}

}  // namespace
}  // namespace BfIngressTrafficClass
