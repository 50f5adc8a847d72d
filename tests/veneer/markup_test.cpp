#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/veneer/veneer_test_support.h"
#include "veneer/markup.h"

using Veneer::CSkinMarkup;
using Veneer::CSkinMarkupNode;

namespace {

std::vector<std::wstring> ChildNames(CSkinMarkupNode node) {
  std::vector<std::wstring> names;
  for (CSkinMarkupNode child = node.GetChild(); child.IsValid(); child = child.GetSibling())
    names.push_back(child.GetName());
  return names;
}

}  // namespace

TEST(SkinMarkupGrammar, BuildsTheElementTreeInDocumentOrder) {
  CSkinMarkup doc;
  ASSERT_TRUE(
      doc.Load(LR"(<?xml version="1.0"?>
<!-- the main window -->
<Window size="600,400">
  <Font id="0" name="Arial" />
  <VerticalLayout><Label text="a"/><Button/></VerticalLayout>
</Window>)"));
  CSkinMarkupNode root = doc.GetRoot();
  ASSERT_TRUE(root.IsValid());
  EXPECT_STREQ(root.GetName(), L"Window");
  EXPECT_EQ(ChildNames(root), (std::vector<std::wstring>{L"Font", L"VerticalLayout"}));
  CSkinMarkupNode layout = root.GetChild().GetSibling();
  EXPECT_EQ(ChildNames(layout), (std::vector<std::wstring>{L"Label", L"Button"}));
  EXPECT_STREQ(layout.GetChild().GetParent().GetName(), L"VerticalLayout");
  EXPECT_FALSE(layout.GetChild().GetSibling().HasChildren());
  EXPECT_STREQ(root.GetAttributeValue(L"size"), L"600,400");
}

TEST(SkinMarkupGrammar, EndOfTextClosesTheRootAndAnOpenChild) {
  CSkinMarkup doc;
  ASSERT_TRUE(doc.Load(L"<Window><Control name=\"c\"/><VerticalLayout name=\"v\">text"));
  CSkinMarkupNode layout = doc.GetRoot().GetChild().GetSibling();
  EXPECT_STREQ(layout.GetName(), L"VerticalLayout");
  EXPECT_STREQ(layout.GetAttributeValue(L"name"), L"v");
  EXPECT_STREQ(layout.GetValue(), L"text");
  // Below an open child of the root the end of the text is no closing tag.
  EXPECT_FALSE(doc.Load(L"<Window><VerticalLayout><Control>"));
  EXPECT_STREQ(doc.GetLastErrorMessage(), L"Expected end-tag start");
}

TEST(SkinMarkupGrammar, CommentEndsAtTheFirstArrowAndOnlyCommentsLeaveNoRoot) {
  CSkinMarkup doc;
  ASSERT_TRUE(doc.Load(L"  <?xml version=\"1.0\"?>\r\n<!-- nothing here -->\t\n"));
  EXPECT_FALSE(doc.GetRoot().IsValid());
  EXPECT_STREQ(doc.GetLastErrorMessage(), L"");
  // "->" inside a comment ends it; what follows is read as markup text and is no start tag.
  EXPECT_FALSE(doc.Load(L"<Window><!-- a -> b --></Window>"));
  EXPECT_STREQ(doc.GetLastErrorMessage(), L"Expected start tag");
  EXPECT_EQ(std::wstring(doc.GetLastErrorLocation()).substr(0, 4), L"b --");
}

TEST(SkinMarkupAttributes, QuotingSpacingAndSeparation) {
  CSkinMarkup doc;
  ASSERT_TRUE(doc.Load(L"<Window a = \"1\" b=\"2\"c=\"3\" />"));
  CSkinMarkupNode root = doc.GetRoot();
  ASSERT_EQ(root.AttributeCount(), 3);
  EXPECT_STREQ(root.AttributeName(0), L"a");
  EXPECT_STREQ(root.AttributeValue(0), L"1");
  EXPECT_STREQ(root.AttributeName(2), L"c");
  EXPECT_STREQ(root.AttributeValue(2), L"3");
  EXPECT_STREQ(root.AttributeName(3), L"");
  EXPECT_STREQ(root.AttributeValue(-1), L"");
  EXPECT_EQ(CSkinMarkupNode().AttributeName(0), nullptr);
}

TEST(SkinMarkupAttributes, LookupIgnoresCaseAndCopiesAtMostMaxChars) {
  CSkinMarkup doc;
  ASSERT_TRUE(doc.Load(L"<Window NormalImage=\"file='a.png'\" />"));
  CSkinMarkupNode root = doc.GetRoot();
  wchar_t buffer[8] = {};
  ASSERT_TRUE(root.FindAttribute(L"normalimage", buffer, 7));
  EXPECT_EQ(std::wstring(buffer), L"file='a");
  EXPECT_FALSE(root.FindAttribute(L"hotimage", buffer, 7));
}

TEST(SkinMarkupAttributes, EntitiesDecodeAndUnknownOnesStay) {
  CSkinMarkup doc;
  ASSERT_TRUE(doc.Load(L"<Window text=\"&lt;b&gt; &amp;&nbsp;\" q=\"&quot;&apos;\" next=\"x\">a&amp;b</Window>"));
  CSkinMarkupNode root = doc.GetRoot();
  EXPECT_STREQ(root.GetAttributeValue(L"text"), L"<b> &&nbsp;");
  EXPECT_STREQ(root.GetAttributeValue(L"q"), L"\"'");
  // The attribute after a shortened value is still found.
  EXPECT_STREQ(root.GetAttributeValue(L"next"), L"x");
  EXPECT_STREQ(root.GetValue(), L"a&b");
}

TEST(SkinMarkupAttributes, JunkAfterTheNameIsNoAttribute) {
  // Found by fuzzing: the '$' is overwritten, the '>' stays in the attribute region, and the lookup
  // must stop at the element's data instead of walking off the end of the text.
  CSkinMarkup doc;
  ASSERT_TRUE(doc.Load(L"<Wi$>ow"));
  CSkinMarkupNode root = doc.GetRoot();
  EXPECT_STREQ(root.GetName(), L"Wi");
  EXPECT_EQ(root.AttributeCount(), 0);
  EXPECT_STREQ(root.GetValue(), L"ow");
}

TEST(SkinMarkupAttributes, OnlySixtyFourAreVisible) {
  std::wstring text = L"<Window";
  for (int i = 0; i < 70; ++i) text += L" a" + std::to_wstring(i) + L"=\"" + std::to_wstring(i) + L"\"";
  text += L"/>";
  CSkinMarkup doc;
  ASSERT_TRUE(doc.Load(text.c_str()));
  CSkinMarkupNode root = doc.GetRoot();
  EXPECT_EQ(root.AttributeCount(), 64);
  EXPECT_STREQ(root.AttributeValue(63), L"63");
  EXPECT_EQ(root.GetAttributeValue(L"a64"), nullptr);
}

TEST(SkinMarkupDocument, RecordArrayGrowsByHalfPlusFiveHundred) {
  std::wstring text = L"<Window>";
  for (int i = 0; i < 600; ++i) text += L"<C/>";
  text += L"</Window>";
  CSkinMarkup doc;
  ASSERT_TRUE(doc.Load(text.c_str()));
  EXPECT_EQ(doc.ElementCount(), 602u);      // reserved record, root, 600 children
  EXPECT_EQ(doc.ElementCapacity(), 1250u);  // 500, then 500 + 250 + 500
  EXPECT_EQ(ChildNames(doc.GetRoot()).size(), 600u);
}

TEST(SkinMarkupDocument, Utf8WithAndWithoutByteOrderMarkParseAlike) {
  std::string plain = "<Window title=\"\xE5\xAE\x89\xE8\xA3\x85\"><Label/></Window>";
  std::string marked = "\xEF\xBB\xBF" + plain;
  CSkinMarkup a;
  CSkinMarkup b;
  ASSERT_TRUE(a.LoadFromMem(reinterpret_cast<uint8_t*>(plain.data()), plain.size(), CSkinMarkup::kUtf8));
  ASSERT_TRUE(b.LoadFromMem(reinterpret_cast<uint8_t*>(marked.data()), marked.size(), CSkinMarkup::kUtf8));
  EXPECT_STREQ(a.GetRoot().GetName(), b.GetRoot().GetName());
  EXPECT_STREQ(a.GetRoot().GetAttributeValue(L"title"), L"\u5B89\u88C5");
  EXPECT_STREQ(b.GetRoot().GetAttributeValue(L"title"), L"\u5B89\u88C5");
  EXPECT_STREQ(b.GetRoot().GetChild().GetName(), L"Label");
}

TEST(SkinMarkupDocument, Utf16NeedsAByteOrderMark) {
  std::vector<uint8_t> little = {0xFF, 0xFE, '<', 0, 'A', 0, '/', 0, '>', 0};
  std::vector<uint8_t> big = {0xFE, 0xFF, 0, '<', 0, 'B', 0, '/', 0, '>', 7};
  std::vector<uint8_t> bare = {'<', 0, 'A', 0, '/', 0, '>', 0};
  CSkinMarkup doc;
  ASSERT_TRUE(doc.LoadFromMem(little.data(), little.size(), CSkinMarkup::kUtf16));
  EXPECT_STREQ(doc.GetRoot().GetName(), L"A");
  ASSERT_TRUE(doc.LoadFromMem(big.data(), big.size(), CSkinMarkup::kUtf16));
  EXPECT_STREQ(doc.GetRoot().GetName(), L"B");
  EXPECT_FALSE(doc.LoadFromMem(bare.data(), bare.size(), CSkinMarkup::kUtf16));
  EXPECT_FALSE(doc.IsValid());
}

// Each malformed fixture is named after its fault; the message and the start of the location are checked.
struct MalformedCase {
  const wchar_t* file;
  const wchar_t* message;
  const wchar_t* location;
};

// Files are read from the fixture folder.
class SkinMarkupFiles : public ::testing::Test {
 protected:
  void SetUp() override { Veneer::CPaintManagerUI::SetResourcePath(VeneerTest::FixturePath(L"").c_str()); }
  VeneerTest::ResourceSettingsReset reset_;
  CSkinMarkup doc;
};

class SkinMarkupMalformed : public SkinMarkupFiles, public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(SkinMarkupMalformed, FailsWithItsMessageAndReleasesTheDocument) {
  EXPECT_FALSE(doc.LoadFromFile(GetParam().file));
  EXPECT_STREQ(doc.GetLastErrorMessage(), GetParam().message);
  EXPECT_EQ(std::wstring(doc.GetLastErrorLocation()).rfind(GetParam().location, 0), 0u)
      << "location: " << testing::PrintToString(std::wstring(doc.GetLastErrorLocation()));
  EXPECT_FALSE(doc.IsValid());
  EXPECT_FALSE(doc.GetRoot().IsValid());
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, SkinMarkupMalformed,
    ::testing::Values(MalformedCase{L"unclosed_grandchild.xml", L"Expected end-tag start", L""},
                      MalformedCase{L"mismatched_close.xml", L"Unmatched closing tag", L"2>"},
                      MalformedCase{L"close_tag_case.xml", L"Unmatched closing tag", L"window>"},
                      MalformedCase{L"single_quoted_value.xml", L"Expected attribute value", L"'1'"},
                      MalformedCase{L"unterminated_attribute_value.xml", L"Error while parsing attribute string", L""},
                      MalformedCase{L"text_ends_in_name.xml", L"Error parsing element name", L"Window"},
                      MalformedCase{L"attribute_without_value.xml", L"Error while parsing attributes", L"/>"},
                      MalformedCase{L"hyphen_in_attribute_name.xml", L"Error while parsing attributes", L"-x"},
                      MalformedCase{L"text_before_first_tag.xml", L"Expected start tag", L"Window"},
                      MalformedCase{L"broken_empty_tag.xml", L"Expected start-tag closing", L"/ >"},
                      MalformedCase{L"empty_file.xml", L"File is empty", L""},
                      MalformedCase{L"over_4mib.xml", L"File too large", L""},
                      MalformedCase{L"nested_4mib.xml", L"Elements nested too deeply", L"a><a>"},
                      MalformedCase{L"no_such_file.xml", L"Error opening file", L""}));

TEST_F(SkinMarkupFiles, FourMebibytesExactlyIsAccepted) {
  ASSERT_TRUE(doc.LoadFromFile(L"exactly_4mib.xml")) << testing::PrintToString(std::wstring(doc.GetLastErrorMessage()));
  EXPECT_STREQ(doc.GetRoot().GetName(), L"Window");
}

TEST_F(SkinMarkupFiles, ReadsFromTheSkinArchive) {
  Veneer::CPaintManagerUI::SetResourceZip(L"skin.zip");
  ASSERT_TRUE(doc.LoadFromFile(L"MAIN.xml"));
  EXPECT_STREQ(doc.GetRoot().GetChild().GetAttributeValue(L"name"), L"root");
  EXPECT_FALSE(doc.LoadFromFile(L"missing.xml"));
  EXPECT_STREQ(doc.GetLastErrorMessage(), L"Could not find ziped file");
  EXPECT_FALSE(doc.LoadFromFile(L"empty.xml"));
  EXPECT_STREQ(doc.GetLastErrorMessage(), L"File is empty");

  Veneer::CPaintManagerUI::SetResourceZip(L"corrupt_deflate_data.zip");
  EXPECT_FALSE(doc.LoadFromFile(L"main.xml"));
  EXPECT_STREQ(doc.GetLastErrorMessage(), L"Could not unzip file");
  Veneer::CPaintManagerUI::SetResourceZip(L"truncated_half.zip");
  EXPECT_FALSE(doc.LoadFromFile(L"main.xml"));
  EXPECT_STREQ(doc.GetLastErrorMessage(), L"Error opening zip file");
}
