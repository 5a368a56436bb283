// The table entry: its string form, both parsers and their failures, and the entry as a
// reflected value.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "BfIngressTrafficClass/IngressTrafficClassTableEntry.h"
#include "BfIngressTrafficClass/KivModule.h"
#include "LeakCheckedTest.h"
#include "ReflectionAccess.h"
#include "platform/Kiv/Exception.h"

namespace BfIngressTrafficClass {
namespace {

using Testing::readAttribute;
using Testing::writeAttribute;
using Entry = IngressTrafficClassTableEntry;

const std::string head = "Value('BfIngressTrafficClass::IngressTrafficClassTableEntry', ** {";
const std::string emptyText = head + "'match': None, 'action': None})";
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
std::string actionText(const std::string& attributes) {
  return objectText("SetTrafficClassAndEgressQidActionSpec", attributes);
}

// What a parse raised: the exception class and what places the failure.
template <class Parse>
std::string failureOf(Parse&& parse) {
  try {
    parse();
  } catch (const Kiv::ParseException& e) {
    return "ParseException at " + std::to_string(e.position());
  } catch (const Kiv::AttributeDeserializationException& e) {
    return "AttributeDeserializationException in " + e.attribute();
  } catch (const Kiv::ConversionException& e) {
    return "ConversionException to " + e.expectedClass();
  }
  return "nothing";
}
std::string parserFailure(std::string_view text) {
  return failureOf([text] {
    Kiv::CharRange range(text);
    Entry parsed(range);
  });
}
std::string conversionFailure(std::string_view text) {
  return failureOf([text] {
    Entry converted;
    Kiv::valueFromStrep(kivTypeTableEntry, text, &converted);
  });
}

class TableEntryTest : public Testing::LeakCheckedTest {
 protected:
  static IngressTrafficClassMatchSpec::Ptr newMatch() {
    IngressTrafficClassMatchSpec::Ptr match = ingressTrafficClassMatchSpecFactory();
    match->zorvikCpuHdrTcIs(7);
    match->egrMdDecapTypeMaskIs(15);
    match->priorityIs(4000000000);
    match->qosMdDscpIs(46);
    match->qosMdDscpMaskIs(255);
    match->qosMdTrustModeMaskIs(3);
    return match;
  }
  static SetTrafficClassAndEgressQidActionSpec::Ptr newAction() {
    auto action = setTrafficClassAndEgressQidActionSpecFactory();
    action->qidIs(5);
    action->tcIs(3);
    return action;
  }

  IngressTrafficClassMatchSpec::Ptr match = newMatch();
  SetTrafficClassAndEgressQidActionSpec::Ptr action = newAction();
  Entry entry{match, action};
};

TEST_F(TableEntryTest, PrintsAndParsesTheFullAndTheEmptyEntry) {
  for (const auto& [printed, text] : {std::pair(entry, fullText), std::pair(Entry(), emptyText)}) {
    SCOPED_TRACE(text);
    std::ostringstream streamed;
    streamed << printed;
    EXPECT_EQ(valueToStrep(printed), text);
    EXPECT_EQ(streamed.str(), text);
    EXPECT_EQ(Kiv::valueToStrep(kivTypeTableEntry, &printed), text);

    Kiv::CharRange range(text);
    Entry parsed(range);
    Entry converted(match);
    Kiv::valueFromStrep(kivTypeTableEntry, text, &converted);
    EXPECT_TRUE(range.atEnd());
    EXPECT_EQ(valueToStrep(parsed), text);
    EXPECT_EQ(valueToStrep(converted), text);
  }
}

TEST_F(TableEntryTest, OnlyTheWholeStringConversionRefusesTrailingText) {
  const std::string text = fullText + " ";
  Kiv::CharRange range(text);
  Entry parsed(range);
  EXPECT_EQ(range.rest(), " ");
  EXPECT_EQ(conversionFailure(text), "ParseException at " + std::to_string(fullText.size()));
}

TEST_F(TableEntryTest, ParsersRefuseMalformedTextAndReleaseWhatTheyMade) {
  const std::pair<std::string, std::string> cases[] = {
      {"Value('IngressTrafficClassTableEntry', ** {'match': None, 'action': None})",
       "ParseException at 0"},
      {head + "'match': None; 'action': None})",
       "ParseException at " + std::to_string(head.size() + 13)},
      {entryText("5", "None"), "AttributeDeserializationException in match"},
      {entryText(objectText("IngressTrafficClassMatchSpec", "'dscp': 1"), "None"),
       "AttributeDeserializationException in match"},
      {entryText(objectText("IngressTrafficClassMatchSpec", "'qosMdDscp': 300"), "None"),
       "AttributeDeserializationException in match"},
      {entryText(matchText, actionText("'actionType': drop")),
       "AttributeDeserializationException in action"},
      {entryText(matchText, actionText("'tc': 300")),
       "AttributeDeserializationException in action"},
      {entryText(actionText(""), "None"),
       "ConversionException to BfIngressTrafficClass::IngressTrafficClassMatchSpec"},
      {entryText(matchText, matchText),
       "ConversionException to BfIngressTrafficClass::IngressTrafficClassBaseActionSpec"},
  };
  for (const auto& [text, failure] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(parserFailure(text), failure);
    EXPECT_EQ(conversionFailure(text), failure);
  }
}

TEST_F(TableEntryTest, EveryTruncationOfTheFullTextIsRefused) {
  EXPECT_EQ(parserFailure(fullText.substr(0, fullText.size() - 1)),
            "ParseException at " + std::to_string(fullText.size() - 2));
  for (std::size_t length = 0; length < fullText.size(); ++length) {
    EXPECT_NE(parserFailure(std::string_view(fullText).substr(0, length)), "nothing") << length;
  }
}

TEST_F(TableEntryTest, ReflectionReadsBothFieldsAndWritesOnlyTheAction) {
  EXPECT_EQ(readAttribute(kivTypeTableEntry, &entry, 2).text, Kiv::objectToStrep(match.ptr()));
  EXPECT_EQ(readAttribute(kivTypeTableEntry, &entry, 3).text, Kiv::objectToStrep(action.ptr()));
  EXPECT_EQ(readAttribute(kivTypeTableEntry, &entry, 4).answer, 2);
  EXPECT_EQ(writeAttribute(kivTypeTableEntry, &entry, 2, "None"), 1);
  EXPECT_EQ(entry.match(), match);
  EXPECT_EQ(writeAttribute(kivTypeTableEntry, &entry, 3, actionText("'tc': 6")), 0);
  EXPECT_EQ(entry.action()->tc(), 6);

  const Kiv::Ptr<Kiv::PtrInterface> wrongClass(match.ptr());
  const void* in[] = {&wrongClass};
  EXPECT_THROW(
      Kiv::attributeOp(kivTypeTableEntry, &entry, 3, Kiv::AttributeCode::write, in, nullptr),
      Kiv::ConversionException);
}

// Code 11 or 12 on an entry as a whole; code 12 compares it with `other`.
bool wholeEntryAnswer(U32 code, Entry entry, const Entry& other = {}) {
  bool answer = false;
  const void* in[] = {&other};
  EXPECT_EQ(Kiv::attributeOp(kivTypeTableEntry, &entry, 0, code, in, &answer),
            Kiv::AttributeAnswer::done);
  return answer;
}

TEST_F(TableEntryTest, WholeValueCodesTestEmptinessAndIdentity) {
  using namespace Kiv::AttributeCode;
  EXPECT_FALSE(wholeEntryAnswer(nonEmpty, Entry()));
  EXPECT_TRUE(wholeEntryAnswer(nonEmpty, Entry(match)));
  EXPECT_TRUE(wholeEntryAnswer(nonEmpty, Entry(nullptr, action)));
  EXPECT_TRUE(wholeEntryAnswer(equal, Entry(), Entry()));
  EXPECT_TRUE(wholeEntryAnswer(equal, entry, Entry(match, action)));
  EXPECT_FALSE(wholeEntryAnswer(equal, entry, Entry(newMatch(), action)));
  EXPECT_FALSE(wholeEntryAnswer(equal, entry, Entry(match, newAction())));
  EXPECT_THROW(kivTypeTableEntry.valueOps->hash(kivTypeTableEntry, &entry),
               Kiv::UnhashableTypeException);
}

}  // namespace
}  // namespace BfIngressTrafficClass
