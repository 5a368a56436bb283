// The entry model without a table: the driver's status texts, the reflection module and its types'
// attributes, the handle map, and the entry's string form and parsers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <limits>
#include <new>
#include <string>
#include <tuple>
#include <vector>

#include "BfIngressTrafficClass/BfIngressTrafficClass"
#include "LeakCheckedTest.h"
#include "ReflectionAccess.h"
#include "platform/Kiv/Exception.h"
#include "support/Entries.h"

namespace BfIngressTrafficClass::Testing {
namespace {

using Entry = IngressTrafficClassTableEntry;
namespace Code = Kiv::AttributeCode;

TEST(DriverStatusTest, EachDriverCodeHasItsTextAndAnyOtherIsUnknown) {
  std::string texts;
  for (DriverStatus code = -1; code <= 27; ++code)
    texts += std::string(driverStatusText(code)) + "; ";
  EXPECT_EQ(texts,
            "Unknown error; Success; Not ready; No system resources; Invalid arguments; "
            "Already exists; HW access fails; Object not found; Max sessions exceeded; "
            "Session not found; Not enough space; "
            "Resource temporarily not available, try again later; Initialization error; "
            "Not supported in transaction; Resource held by another session; IO error; "
            "Unexpected error; Action data entry is being referenced by match entries; "
            "Operation not supported; Updating hardware failed; No learning clients registered; "
            "Idle time update state already in progress; Device locked; Internal error; "
            "Table not found; In use; Object not implemented; Hardware entry not found; "
            "Unknown error; ");
  EXPECT_STREQ(driverStatusText(std::numeric_limits<DriverStatus>::min()), "Unknown error");
}

class KivModuleTest : public LeakCheckedTest {};

TEST_F(KivModuleTest, EveryTypeIsRegisteredOnceUnderItsNameAndIndexAndMakesObjectsOfItsOwn) {
  const Kiv::ModuleDescriptor& module = _BfIngressTrafficClass_564461bd6efba167_kivModule;
  EXPECT_EQ(Kiv::moduleNamed("_BfIngressTrafficClass_564461bd6efba167_kivModule"), &module);
  for (const Kiv::TypeDescriptor* type : module.types) {
    SCOPED_TRACE(type->name);
    EXPECT_EQ(Kiv::typeNamed(type->name), type);
    EXPECT_EQ(&Kiv::typeDescriptor({&module, type->index}), type);
    if (!Kiv::isObjectKind(type->kind) || !type->constructorParameters.empty()) continue;
    const Kiv::Ptr<Kiv::PtrInterface> object = Kiv::objectNew(*type, nullptr);
    EXPECT_EQ(&Kiv::typeOf(*object), type);
    EXPECT_TRUE(object->references() == 1 && object->hasNotificationActive());
  }
  // Registering the module again changes nothing; a module with its name or its types is refused.
  EXPECT_NO_THROW(Kiv::kivModuleIs(module));
  static const Kiv::ModuleDescriptor sameName = {module.name, {}};
  static const Kiv::ModuleDescriptor takenTypes = {"KivModuleTestAgain", module.types};
  EXPECT_THROW(Kiv::kivModuleIs(sameName), Kiv::InternalException);
  EXPECT_THROW(Kiv::kivModuleIs(takenTypes), Kiv::InternalException);
  EXPECT_EQ(Kiv::moduleNamed("KivModuleTestAgain"), nullptr);
}

TEST_F(KivModuleTest, MatchStartsAsWildcardAndReflectionSetsEachFieldById) {
  // The attribute id of each of matchFields; the names are pinned by the entry's string form.
  constexpr U32 fieldIds[] = {145, 146, 139, 140, 137, 138, 141, 142,
                              143, 144, 134, 135, 132, 133, 130, 131};
  const Match::Ptr match = ingressTrafficClassMatchSpecFactory();
  EXPECT_EQ(writeAttribute(*match, 136, "4000000000"), 0);
  // A value distinct in every field, so that a writer of the wrong field shows.
  for (U32 field = 0; field < std::size(fieldIds); ++field) {
    EXPECT_EQ((match.ptr()->*matchFields[field].read)(), 0) << fieldIds[field];
    EXPECT_EQ(writeAttribute(*match, fieldIds[field], std::to_string(field + 1)), 0);
  }
  EXPECT_EQ(match->priority(), 4000000000u);
  for (U32 field = 0; field < std::size(fieldIds); ++field) {
    EXPECT_EQ((match.ptr()->*matchFields[field].read)(), field + 1) << fieldIds[field];
    EXPECT_EQ(readAttribute(*match, fieldIds[field]).text, std::to_string(field + 1));
  }
}

// The concrete action answers through the description of its base class; the action type is found
// by its whole name or its number only.
TEST_F(KivModuleTest, BothActionClassesStartEmptyAndAnswerTheBaseAttributes) {
  for (const IngressTrafficClassBaseActionSpec::Ptr& action :
       {ingressTrafficClassBaseActionSpecFactory(),
        IngressTrafficClassBaseActionSpec::Ptr(setTrafficClassAndEgressQidActionSpecFactory())}) {
    SCOPED_TRACE(Kiv::typeOf(*action).name);
    EXPECT_EQ(readAttribute(*action, 130).text, "setTrafficClassAndEgressQidActionSpec");
    EXPECT_EQ(readAttribute(*action, 131).text + readAttribute(*action, 132).text, "00");
    EXPECT_EQ(writeAttribute(*action, 131, "7"), 0);
    EXPECT_EQ(writeAttribute(*action, 132, "3"), 0);
    EXPECT_EQ(std::pair(action->qid(), action->tc()), std::pair(U8{7}, U8{3}));
    const U8 notAnEnumerator = 1;
    const void* in[] = {&notAnEnumerator};
    EXPECT_THROW(Kiv::attributeOp(*action, 130, Code::write, in, nullptr), Kiv::RangeException);
  }
  constexpr auto setAction =
      IngressTrafficClassActionSpecType::setTrafficClassAndEgressQidActionSpec;
  EXPECT_EQ(IngressTrafficClassActionSpecTypeInstance(U32{0}), setAction);
  EXPECT_EQ(IngressTrafficClassActionSpecTypeInstance(Kiv::String(valueToStrep(setAction))),
            setAction);
  for (U32 number : {1u, 256u})  // 256 is 0 if cut to 8 bits
    EXPECT_THROW(IngressTrafficClassActionSpecTypeInstance(number), Kiv::RangeException) << number;
  EXPECT_THROW(IngressTrafficClassActionSpecTypeInstance(Kiv::String("setTrafficClass")),
               Kiv::RangeException);
}

// Keys are match objects, so equal-valued matches are two keys; the map holds a reference to
// each until the key is removed, and destroying the map releases the rest, as the fixture checks.
TEST_F(KivModuleTest, HandleMapStoresReplacesReadsRemovesAndWalksFromTheStartOrFromAKey) {
  constexpr U32 entryId = 258;
  const IngressTrafficClassTableHandles::Ptr handles = ingressTrafficClassTableHandlesFactory();
  const Match::Ptr first = ingressTrafficClassMatchSpecFactory(),
                   second = ingressTrafficClassMatchSpecFactory();
  // Runs `code` on the `entry` collection with `key` and, to store, `handle`.
  auto entryOp = [&](U32 code, const Match::Ptr& key, void* out,
                     BfnTable::BfnSdkEntryHandle handle) {
    const Kiv::Ptr<Kiv::PtrInterface> keyObject(key.ptr());
    const void* in[] = {&keyObject, &handle};
    return answerOf(Kiv::attributeOp(*handles, entryId, code, in, out));
  };
  U32 absent = 99, read = 0, removed = 0, count = 0;
  bool removedHas = true, otherHas = false;
  const std::array stored = {
      entryOp(Code::read, first, &absent, 0),    entryOp(Code::write, first, nullptr, 11),
      entryOp(Code::write, second, nullptr, 22), entryOp(Code::write, first, nullptr, 12),
      entryOp(Code::read, first, &read, 0),      entryOp(Code::count, first, &count, 0),
      entryOp(Code::call, second, &read, 0)};
  EXPECT_EQ(first->references(), 2u);  // ours and the map's one
  const std::array gone = {entryOp(Code::remove, first, &removed, 0),
                           entryOp(Code::has, first, &removedHas, 0),
                           entryOp(Code::has, second, &otherHas, 0)};
  EXPECT_EQ(first->references(), 1u);
  EXPECT_EQ(std::pair(stored, gone),
            std::pair(std::array{0, 0, 0, 0, 0, 0, 1}, std::array{0, 0, 0}));
  EXPECT_EQ(std::tuple(absent, read, count, removed, removedHas, otherHas),
            std::tuple(0u, 12u, 2u, 12u, false, true));
  EXPECT_EQ(readAttribute(*handles, entryId + 1).answer, 2);

  // What an iterator of the `entry` collection yields, from the start or from `from`.
  using Walk = std::vector<std::pair<Kiv::PtrInterface*, U32>>;
  auto walk = [&](const Kiv::Ptr<Kiv::PtrInterface>* from) {
    Walk steps;
    for (auto it = Kiv::collectionIterator(*handles, entryId, from); !it->atEnd(); it->advance()) {
      Kiv::ValueSlot key(kivTypeMatchSpec);
      U32 handle = 0;
      it->key(key.get());
      it->value(&handle);
      steps.emplace_back(key.as<Kiv::Ptr<Kiv::PtrInterface>>().ptr(), handle);
    }
    return steps;
  };
  const Match::Ptr more[] = {ingressTrafficClassMatchSpecFactory(),
                             ingressTrafficClassMatchSpecFactory()};
  handles->entryIs(more[0], 1);
  handles->entryIs(more[1], 2);
  const Walk all = walk(nullptr);
  EXPECT_THAT(all, ::testing::UnorderedElementsAre(std::pair(second.ptr(), 22u),
                                                   std::pair(more[0].ptr(), 1u),
                                                   std::pair(more[1].ptr(), 2u)));
  for (std::size_t start = 0; start < all.size(); ++start) {
    const Kiv::Ptr<Kiv::PtrInterface> key(all[start].first);
    EXPECT_EQ(walk(&key), Walk(all.begin() + start, all.end()));
  }
  const Kiv::Ptr<Kiv::PtrInterface> removedKey(first.ptr());
  EXPECT_TRUE(walk(&removedKey).empty());
}

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

// What parsing `text` raised: the exception class and what places the failure.
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

using TableEntryTest = KivModuleTest;

// The conversion of a whole string parses alike, then refuses any text left after the entry.
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
  auto withActionType = [](const std::string& type) {
    return entryText(matchText,
                     objectText("SetTrafficClassAndEgressQidActionSpec", "'actionType': " + type));
  };
  const std::pair<std::string, std::string> cases[] = {
      {"Value('IngressTrafficClassTableEntry', ** {'match': None, 'action': None})",
       "ParseException at 0"},
      {head + "'match': None; 'action': None})",
       "ParseException at " + std::to_string(head.size() + 13)},
      {entryText(objectText("IngressTrafficClassMatchSpec", "'qosMdDscp': 300"), "None"),
       "AttributeDeserializationException in match"},
      {withActionType("x"), "AttributeDeserializationException in action"},
      {withActionType(""), "AttributeDeserializationException in action"},
      {withActionType("42"), "AttributeDeserializationException in action"},
      {withActionType("setTrafficClassAndEgressQidActionSpec2"),
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

// Entries are equal when they hold the same objects, whatever their values, and cannot be hashed.
TEST_F(TableEntryTest, ReflectionMakesReadsWritesAndComparesEntries) {
  Entry entry = parsed(fullText);
  const Entry same = entry, twin = parsed(fullText);
  // The entry that reflection's value constructor makes from its one argument, `match`.
  auto constructed = [](const Kiv::Ptr<Kiv::PtrInterface>& match) {
    const void* in[] = {&match};
    alignas(Entry) std::byte raw[sizeof(Entry)];
    kivTypeTableEntry.newValue(kivTypeTableEntry, raw, in);
    Entry* made = std::launder(reinterpret_cast<Entry*>(raw));
    const Entry copy = *made;
    made->~Entry();
    return copy;
  };
  // Code 11 or 12 on an entry as a whole; code 12 compares it with `other`.
  auto answer = [](U32 code, Entry whole, const Entry& other = {}) {
    bool result = false;
    const void* in[] = {&other};
    EXPECT_EQ(Kiv::attributeOp(kivTypeTableEntry, &whole, 0, code, in, &result),
              Kiv::AttributeAnswer::done);
    return result;
  };
  const Match::Ptr match = ingressTrafficClassMatchSpecFactory();
  EXPECT_EQ(constructed(match), Entry(match));
  EXPECT_THROW(constructed(setTrafficClassAndEgressQidActionSpecFactory()),
               Kiv::ConversionException);
  EXPECT_TRUE(answer(Code::equal, entry, same));
  EXPECT_FALSE(answer(Code::equal, entry, Entry(twin.match(), same.action())));
  EXPECT_FALSE(answer(Code::equal, entry, Entry(same.match(), twin.action())));
  EXPECT_FALSE(answer(Code::nonEmpty, Entry()));
  EXPECT_TRUE(answer(Code::nonEmpty, Entry(nullptr, entry.action())));
  EXPECT_THROW(kivTypeTableEntry.valueOps->hash(kivTypeTableEntry, &entry),
               Kiv::UnhashableTypeException);

  EXPECT_EQ(entryText(readAttribute(kivTypeTableEntry, &entry, 2).text,
                      readAttribute(kivTypeTableEntry, &entry, 3).text),
            fullText);
  EXPECT_EQ(readAttribute(kivTypeTableEntry, &entry, 4).answer, 2);
  EXPECT_EQ(writeAttribute(kivTypeTableEntry, &entry, 2, "None"), 1);
  EXPECT_EQ(writeAttribute(kivTypeTableEntry, &entry, 3, actionText), 0);
  EXPECT_EQ(entry.match(), same.match());
  EXPECT_EQ(entry.action()->tc(), 6);
}

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
