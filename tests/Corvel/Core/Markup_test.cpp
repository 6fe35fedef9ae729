#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "Corvel/Core/Markup.h"
#include "Corvel/Core/SkinArchive.h"
#include "support/ZipFixture.h"
#include "support/TestPaths.h"
#include "support/Text.h"

using testsupport::Narrow;
using ui::MarkupDocument;
using ui::MarkupNode;

namespace {

std::wstring Str(const wchar_t* s)
{
    return s ? std::wstring(s) : std::wstring(L"<null>");
}

const uint8_t* Bytes(const std::string& s)
{
    return reinterpret_cast<const uint8_t*>(s.data());
}

// "name(child,child)" outline of a subtree, for structure checks.
std::wstring Outline(MarkupNode node)
{
    std::wstring out = node.GetName();
    MarkupNode child = node.GetChild();
    if (child.IsValid()) {
        out += L"(";
        for (bool first = true; child.IsValid(); child = child.GetSibling(), first = false) {
            if (!first)
                out += L",";
            out += Outline(child);
        }
        out += L")";
    }
    return out;
}

} // namespace

TEST(Markup, EmptyElementWithOneAttribute)
{
    MarkupDocument doc;
    ASSERT_TRUE(doc.ParseText(L"<Window a=\"1\"/>"));
    MarkupNode root = doc.GetRoot();
    ASSERT_TRUE(root.IsValid());
    EXPECT_EQ(root.GetIndex(), 1u);
    EXPECT_EQ(Str(root.GetName()), L"Window");
    EXPECT_FALSE(root.HasChildren());
    EXPECT_EQ(Str(root.GetValue()), L"");
    EXPECT_EQ(root.GetAttributeCount(), 1);
    EXPECT_EQ(Str(root.GetAttributeName(0)), L"a");
    EXPECT_EQ(Str(root.GetAttributeValue(0)), L"1");
    EXPECT_EQ(Str(root.LookupAttribute(L"a")), L"1");
    EXPECT_EQ(doc.GetElementCount(), 2u);
    EXPECT_EQ(Str(doc.GetErrorMessage()), L"");
}

TEST(Markup, ElementTreeIsIndexLinked)
{
    MarkupDocument doc;
    ASSERT_TRUE(doc.ParseText(L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                              L"<Window size=\"400,300\">\n"
                              L"  <Font name=\"f\" size=\"12\"/>\n"
                              L"  <VBox>\n"
                              L"    <Button name=\"ok\" text=\"OK\"></Button>\n"
                              L"    <Label>hello</Label>\n"
                              L"  </VBox >\n"
                              L"</ Window>\n"
                              L"<Extra/>"));
    MarkupNode root = doc.GetRoot();
    EXPECT_EQ(Outline(root), L"Window(Font,VBox(Button,Label))");
    EXPECT_EQ(doc.GetElementCount(), 7u);

    const MarkupDocument::Element* e = doc.GetElement(0);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->firstChild, 0u);
    EXPECT_EQ(e->nextSibling, 0u);
    // Top-level elements are siblings of the root with no parent.
    EXPECT_EQ(Str(root.GetSibling().GetName()), L"Extra");
    EXPECT_FALSE(root.GetSibling().GetParent().IsValid());
    EXPECT_FALSE(root.GetParent().IsValid());

    MarkupNode vbox = root.GetChild().GetSibling();
    EXPECT_EQ(vbox.GetParent().GetIndex(), root.GetIndex());
    MarkupNode button = vbox.GetChild();
    EXPECT_EQ(Str(button.LookupAttribute(L"text")), L"OK");
    EXPECT_TRUE(button.HasNameAttribute());
    EXPECT_FALSE(vbox.HasNameAttribute());
    EXPECT_EQ(Str(button.GetValue()), L"");
    EXPECT_EQ(Str(button.GetSibling().GetValue()), L"hello");
    EXPECT_EQ(Str(root.LookupAttribute(L"size")), L"400,300");
    EXPECT_EQ(Str(root.GetChild().LookupAttribute(L"size")), L"12");
    // Content before the first child is the element's text.
    EXPECT_EQ(Str(root.GetValue()), L"\n  ");
    EXPECT_EQ(doc.GetElement(doc.GetElementCount()), nullptr);
}

TEST(Markup, EveryParseErrorHasItsMessage)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* message;
        const wchar_t* location;
    };
    const Case cases[] = {
        {L"hello", L"Expected start tag", L"hello"},
        {L"<a/>junk", L"Expected start tag", L"junk"},
        {L"<a><b/>text</a>", L"Expected start tag", L"text</a>"},
        {L"<a><b><c/>", L"Expected start tag", L""},
        {L"<", L"Error parsing element name", L""},
        {L"<abc", L"Error parsing element name", L""},
        {L"<$a/>", L"Error parsing element name", L"$a/>"},
        {L"< >", L"Error parsing element name", L">"},
        {L"<a b=\"1\"", L"Expected start-tag closing", L""},
        {L"<a b=\"1\" / >", L"Expected start-tag closing", L"/ >"},
        {L"<a><b><c>text", L"Expected end-tag start", L""},
        {L"<a><b></a>", L"Unmatched closing tag", L"a>"},
        {L"<a></b>", L"Unmatched closing tag", L"b>"},
        {L"<ab></a>", L"Unmatched closing tag", L"a>"},
        {L"<a></ab>", L"Unmatched closing tag", L"b>"},
        {L"<a></a", L"Unmatched closing tag", L""},
        {L"</a>", L"Unmatched closing tag", L"</a>"},
        {L"<a/></a>", L"Unmatched closing tag", L"</a>"},
        {L"<a b>", L"Error while parsing attributes", L">"},
        {L"<a b c=\"1\"/>", L"Error while parsing attributes", L"c=\"1\"/>"},
        {L"<a =\"1\"/>", L"Error while parsing attributes", L"=\"1\"/>"},
        {L"<a$>", L"Error while parsing attributes", L"$>"},
        {L"<a x=\"1\"$/>", L"Error while parsing attributes", L"$/>"},
        {L"<a b='1'/>", L"Expected attribute value", L"'1'/>"},
        {L"<a b=1/>", L"Expected attribute value", L"1/>"},
        {L"<a b=", L"Expected attribute value", L""},
        {L"<a b=\"1/>", L"Error while parsing attribute string", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        MarkupDocument doc;
        EXPECT_FALSE(doc.ParseText(c.text));
        EXPECT_EQ(Str(doc.GetErrorMessage()), c.message);
        EXPECT_EQ(Str(doc.GetErrorLocation()), c.location);
        // Nothing usable is left behind.
        EXPECT_EQ(doc.GetElementCount(), 0u);
        EXPECT_FALSE(doc.GetRoot().IsValid());
    }
}

TEST(Markup, ErrorsStayUntilTheNextParseAndLocationsAreCut)
{
    MarkupDocument doc;
    const std::wstring junk(200, L'x');
    ASSERT_FALSE(doc.ParseText(junk.c_str()));
    EXPECT_EQ(Str(doc.GetErrorLocation()), std::wstring(49, L'x'));
    EXPECT_EQ(Str(doc.GetErrorMessage()), L"Expected start tag");
    ASSERT_TRUE(doc.ParseText(L"<a/>"));
    EXPECT_EQ(Str(doc.GetErrorMessage()), L"");
    EXPECT_EQ(Str(doc.GetErrorLocation()), L"");
}

TEST(Markup, UnclosedRootAndEmptyTexts)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* outline;
        const wchar_t* rootValue;
    };
    const Case cases[] = {
        {L"<a>text", L"a", L"text"},
        {L"<a><b/>", L"a(b)", L""},
        {L"<a><b>tail", L"a(b)", L""},
        {L"<a>", L"a", L""},
        {L"<a/><!-- never closed", L"a", L""},
        {L"<a/><?pi never closed", L"a", L""},
        {L"", L"", L""},
        {L"  \r\n\t ", L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        MarkupDocument doc;
        ASSERT_TRUE(doc.ParseText(c.text)) << Narrow(doc.GetErrorMessage());
        EXPECT_EQ(Outline(doc.GetRoot()), c.outline);
        EXPECT_EQ(Str(doc.GetRoot().GetValue()), c.rootValue);
    }
    MarkupDocument doc;
    EXPECT_TRUE(doc.ParseText(nullptr));
    EXPECT_FALSE(doc.IsValid());
}

TEST(Markup, EntitiesInContentAndValues)
{
    struct Case {
        const wchar_t* raw;
        const wchar_t* decoded;
    };
    const Case cases[] = {
        {L"x &amp; y", L"x & y"},
        {L"&lt;&gt;&quot;&apos;&amp;", L"<>\"'&"},
        {L"&copy;", L"&copy;"},
        {L"&#65;&#x4E2D;", L"&#65;&#x4E2D;"},
        {L"&amp", L"&amp"},
        {L"& amp;", L"& amp;"},
        {L"a&", L"a&"},
        {L"&&amp;", L"&&"},
        {L"&amp;lt;", L"&lt;"},
        {L"&AMP;", L"&AMP;"},
        {L"\u4E2D&amp;\u6587", L"\u4E2D&\u6587"},
        {L"\U0001F600&gt;", L"\U0001F600>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.raw));
        std::wstring raw = c.raw;
        MarkupDocument doc;
        ASSERT_TRUE(doc.ParseText((L"<a>" + raw + L"</a>").c_str())) << Narrow(doc.GetErrorMessage());
        EXPECT_EQ(Str(doc.GetRoot().GetValue()), c.decoded);

        // In a value the double quote is the stop, so "<" may appear raw.
        std::wstring quoted = raw;
        ASSERT_TRUE(doc.ParseText((L"<a v=\"" + quoted + L"\" w=\"<next>\"/>").c_str()))
            << Narrow(doc.GetErrorMessage());
        MarkupNode root = doc.GetRoot();
        EXPECT_EQ(Str(root.LookupAttribute(L"v")), c.decoded);
        EXPECT_EQ(Str(root.LookupAttribute(L"w")), L"<next>");
        EXPECT_EQ(root.GetAttributeCount(), 2);
    }
    MarkupDocument doc;
    ASSERT_TRUE(doc.ParseText(L"<a v=\"&quot;q&quot;\" e=\"\" s = \"x\"></a>"));
    MarkupNode root = doc.GetRoot();
    EXPECT_EQ(root.GetAttributeCount(), 3);
    EXPECT_EQ(Str(root.LookupAttribute(L"v")), L"\"q\"");
    EXPECT_EQ(Str(root.LookupAttribute(L"e")), L"");
    EXPECT_TRUE(root.HasAttribute(L"e"));
    EXPECT_EQ(Str(root.LookupAttribute(L"s")), L"x");
    EXPECT_EQ(Str(root.GetValue()), L"");
}

TEST(Markup, WhitespaceInContent)
{
    const wchar_t* text = L"<a v=\"1   2\">x   y\n\t z</a>";
    MarkupDocument keep;
    ASSERT_TRUE(keep.ParseText(text));
    EXPECT_EQ(Str(keep.GetRoot().GetValue()), L"x   y\n\t z");
    EXPECT_EQ(Str(keep.GetRoot().LookupAttribute(L"v")), L"1   2");

    MarkupDocument collapse(false);
    ASSERT_TRUE(collapse.ParseText(text));
    EXPECT_EQ(Str(collapse.GetRoot().GetValue()), L"x y\n\t z");
    EXPECT_EQ(Str(collapse.GetRoot().LookupAttribute(L"v")), L"1 2");
}

TEST(Markup, CommentsAndDeclarations)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* outline;
    };
    const Case cases[] = {
        {L"<!-- head --><a><!-- inside --><b/><!-- between --><c/></a><!-- tail -->", L"a(b,c)"},
        {L"<a><!-- arrow -> inside --><b/></a>", L"a(b)"},
        {L"<a><!-- <b/> is commented out --></a>", L"a"},
        {L"<!DOCTYPE skin><a/>", L"a"},
        {L"<?xml version=\"1.0\"?><a><?pi x?><b/></a>", L"a(b)"},
        {L"<a><!----><b/></a>", L"a(b)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        MarkupDocument doc;
        ASSERT_TRUE(doc.ParseText(c.text)) << Narrow(doc.GetErrorMessage());
        EXPECT_EQ(Outline(doc.GetRoot()), c.outline);
    }
}

TEST(Markup, ByteOrderMarkAndUtf8)
{
    const std::string body = zipfixture::Utf8(L"<Window title=\"\u5B89\u88C5\u7A0B\u5E8F\">\u4E2D\u6587</Window>");
    MarkupDocument plain, marked;
    ASSERT_TRUE(plain.ParseUtf8(Bytes(body), static_cast<uint32_t>(body.size())));
    const std::string withBom = "\xEF\xBB\xBF" + body;
    ASSERT_TRUE(marked.ParseUtf8(Bytes(withBom), static_cast<uint32_t>(withBom.size())));
    for (MarkupDocument* doc : {&plain, &marked}) {
        MarkupNode root = doc->GetRoot();
        EXPECT_EQ(Str(root.GetName()), L"Window");
        EXPECT_EQ(Str(root.LookupAttribute(L"title")), L"\u5B89\u88C5\u7A0B\u5E8F");
        EXPECT_EQ(Str(root.GetValue()), L"\u4E2D\u6587");
    }
    // A wide text may carry the mark too.
    MarkupDocument wide;
    ASSERT_TRUE(wide.ParseText(L"\uFEFF<a/>"));
    EXPECT_EQ(Str(wide.GetRoot().GetName()), L"a");

    // Names may be Chinese; a lone mark is an empty document.
    MarkupDocument names;
    const std::string chinese = zipfixture::Utf8(L"<\u7A97\u53E3 \u540D=\"v\"/>");
    ASSERT_TRUE(names.ParseUtf8(Bytes(chinese), static_cast<uint32_t>(chinese.size())));
    EXPECT_EQ(Str(names.GetRoot().GetName()), L"\u7A97\u53E3");
    EXPECT_EQ(Str(names.GetRoot().LookupAttribute(L"\u540D")), L"v");
    EXPECT_TRUE(names.ParseUtf8(Bytes("\xEF\xBB\xBF"), 3));
    EXPECT_FALSE(names.IsValid());
    EXPECT_TRUE(names.ParseUtf8(nullptr, 0));

    // Malformed UTF-8 decodes with replacement characters, never a crash.
    const std::string broken = "<a v=\"\xC3\x28\xFF\">\xE2\x82</a>";
    MarkupDocument bad;
    ASSERT_TRUE(bad.ParseUtf8(Bytes(broken), static_cast<uint32_t>(broken.size())));
    EXPECT_EQ(Str(bad.GetRoot().GetName()), L"a");
    // Only UTF-8 is read: UTF-16 bytes give a clear error.
    const std::string utf16("\xFF\xFE<\0a\0/\0>\0", 10);
    EXPECT_FALSE(bad.ParseUtf8(Bytes(utf16), 10));
    EXPECT_EQ(Str(bad.GetErrorMessage()), L"Expected start tag");
    // A NUL byte ends the document.
    const std::string nul("<a/>\0<b/>", 9);
    ASSERT_TRUE(bad.ParseUtf8(Bytes(nul), 9));
    EXPECT_EQ(bad.GetElementCount(), 2u);
}

TEST(Markup, OnlySixtyFourAttributesAreExposed)
{
    std::wstring text = L"<a";
    for (int i = 0; i < 70; ++i)
        text += L" k" + std::to_wstring(i) + L"=\"v" + std::to_wstring(i) + L"\"";
    text += L"><b/></a>";
    MarkupDocument doc;
    ASSERT_TRUE(doc.ParseText(text.c_str()));
    MarkupNode root = doc.GetRoot();
    EXPECT_EQ(root.GetAttributeCount(), 64);
    EXPECT_EQ(Str(root.LookupAttribute(L"k63")), L"v63");
    EXPECT_EQ(Str(root.LookupAttribute(L"k64")), L"");
    EXPECT_EQ(Str(root.GetAttributeName(64)), L"");
    EXPECT_EQ(Str(root.GetAttributeValue(-1)), L"");
    EXPECT_EQ(Outline(root), L"a(b)");

    // Absent attributes read as empty text; a node without a document as null.
    EXPECT_EQ(Str(root.LookupAttribute(L"missing")), L"");
    EXPECT_EQ(Str(root.LookupAttribute(L"K0")), L"");
    MarkupNode none;
    EXPECT_EQ(none.LookupAttribute(L"k0"), nullptr);
    EXPECT_EQ(none.GetAttributeCount(), 0);
    EXPECT_FALSE(none.HasNameAttribute());
    EXPECT_EQ(Str(none.GetName()), L"");
}

TEST(Markup, FirstOfRepeatedAttributesIsFoundAndAllAreListed)
{
    MarkupDocument doc;
    ASSERT_TRUE(doc.ParseText(L"<a x=\"1\" x=\"2\" name=\"n\"/>"));
    MarkupNode root = doc.GetRoot();
    EXPECT_EQ(Str(root.LookupAttribute(L"x")), L"1");
    ASSERT_EQ(root.GetAttributeCount(), 3);
    EXPECT_EQ(Str(root.GetAttributeValue(1)), L"2");
    EXPECT_EQ(Str(root.GetAttributeName(2)), L"name");
}

TEST(Markup, DeepNestingAndManyElements)
{
    const int depth = 100000;
    std::wstring text;
    for (int i = 0; i < depth; ++i)
        text += L"<d>";
    text += L"x";
    for (int i = 0; i < depth; ++i)
        text += L"</d>";
    MarkupDocument doc;
    ASSERT_TRUE(doc.ParseText(text.c_str())) << Narrow(doc.GetErrorMessage());
    EXPECT_EQ(doc.GetElementCount(), static_cast<uint32_t>(depth + 1));
    MarkupNode node = doc.GetRoot();
    int levels = 1;
    while (node.GetChild().IsValid()) {
        node = node.GetChild();
        ++levels;
    }
    EXPECT_EQ(levels, depth);
    EXPECT_EQ(Str(node.GetValue()), L"x");

    // The same depth cut short fails cleanly.
    const std::wstring cut = text.substr(0, depth * 3 + 1 + 500 * 4);
    EXPECT_FALSE(doc.ParseText(cut.c_str()));
    EXPECT_EQ(Str(doc.GetErrorMessage()), L"Expected start tag");

    std::wstring wide = L"<list>";
    for (int i = 0; i < 5000; ++i)
        wide += L"<i n=\"" + std::to_wstring(i) + L"\"/>";
    wide += L"</list>";
    ASSERT_TRUE(doc.ParseText(wide.c_str()));
    EXPECT_EQ(doc.GetElementCount(), 5002u);
    MarkupNode last = doc.GetRoot().GetChild();
    for (int i = 0; i < 4999; ++i)
        last = last.GetSibling();
    EXPECT_EQ(Str(last.LookupAttribute(L"n")), L"4999");
    EXPECT_FALSE(last.GetSibling().IsValid());
}

TEST(Markup, ReparsingReplacesTheContent)
{
    MarkupDocument doc;
    ASSERT_TRUE(doc.ParseText(L"<a><b/><c/></a>"));
    const std::string next = "<x/>";
    ASSERT_TRUE(doc.ParseUtf8(Bytes(next), static_cast<uint32_t>(next.size())));
    EXPECT_EQ(Outline(doc.GetRoot()), L"x");
    EXPECT_FALSE(doc.ParseText(L"<broken"));
    EXPECT_FALSE(doc.IsValid());
    ASSERT_TRUE(doc.ParseText(L"<y/>"));
    EXPECT_EQ(Outline(doc.GetRoot()), L"y");
}

class MarkupFileTest : public testing::Test {
protected:
    void TearDown() override
    {
        CloseSkinArchive();
        SetUiResourcePath(nullptr);
    }
};

TEST_F(MarkupFileTest, LoadsFromTheSkinArchive)
{
    using zipfixture::ZipItem;
    auto item = [](const std::string& name, const std::string& data, bool deflate = true) {
        ZipItem i;
        i.name = name;
        i.data = data;
        i.deflate = deflate;
        return i;
    };
    const std::string main = "\xEF\xBB\xBF" + zipfixture::Utf8(L"<Window><Label text=\"\u4F60\u597D\"/></Window>");
    ZipItem chinese = item(zipfixture::Utf8(L"RES/\u4E3B\u7A97\u53E3.xml"), "<Main/>");
    chinese.utf8Flag = true;
    std::string bytes = zipfixture::BuildZip({item("RES/main.xml", main), item("RES/empty.xml", ""),
                                              item("RES/huge.xml", std::string(5 * 1024 * 1024, ' ')),
                                              item("RES/limit.xml", "<a/>" + std::string(4 * 1024 * 1024 - 4, ' ')),
                                              item("RES/bad.xml", "<damaged/>", false), chinese,
                                              item("RES/broken.xml", "<a><b></a>")});
    ASSERT_FALSE(bytes.empty());
    // Damage the stored entry so that its CRC no longer matches.
    const size_t bad = bytes.find("<damaged/>");
    ASSERT_NE(bad, std::string::npos);
    bytes[bad + 1] = 'D';
    ASSERT_TRUE(OpenSkinArchive(bytes.data(), static_cast<uint32_t>(bytes.size())));

    MarkupDocument doc;
    ASSERT_TRUE(doc.LoadSkinFile(L"res\\MAIN.xml")) << Narrow(doc.GetErrorMessage());
    EXPECT_EQ(Outline(doc.GetRoot()), L"Window(Label)");
    EXPECT_EQ(Str(doc.GetRoot().GetChild().LookupAttribute(L"text")), L"\u4F60\u597D");
    ASSERT_TRUE(doc.LoadSkinFile(L"RES/\u4E3B\u7A97\u53E3.xml"));
    EXPECT_EQ(Outline(doc.GetRoot()), L"Main");
    ASSERT_TRUE(doc.LoadSkinFile(L"RES/limit.xml"));
    EXPECT_EQ(Outline(doc.GetRoot()), L"a");

    struct Case {
        const wchar_t* name;
        const wchar_t* message;
    };
    const Case failures[] = {
        {L"RES/missing.xml", L"Could not find ziped file"},
        {L"main.xml", L"Could not find ziped file"},
        {nullptr, L"Could not find ziped file"},
        {L"RES/empty.xml", L"File is empty"},
        {L"RES/huge.xml", L"File too large"},
        {L"RES/bad.xml", L"Could not unzip file"},
        {L"RES/broken.xml", L"Unmatched closing tag"},
    };
    for (const Case& c : failures) {
        SCOPED_TRACE(c.name ? Narrow(c.name) : std::string("null"));
        ASSERT_TRUE(doc.ParseText(L"<previous/>"));
        EXPECT_FALSE(doc.LoadSkinFile(c.name));
        EXPECT_EQ(Str(doc.GetErrorMessage()), c.message);
        EXPECT_FALSE(doc.IsValid());
        if (std::wstring(c.message) != L"Unmatched closing tag") {
            EXPECT_EQ(Str(doc.GetErrorLocation()), L"");
        }
    }
}

TEST_F(MarkupFileTest, LoadsFromTheResourceFolder)
{
    CloseSkinArchive();
    testsupport::ScratchDir dir(L"markup");
    SetUiResourcePath((dir.Path() + L"\\").c_str());
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"RES").c_str(), nullptr));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"RES\\main.xml"),
                                            "\xEF\xBB\xBF<Window caption=\"0,0,0,30\"><Button/></Window>"));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"RES\\empty.xml"), ""));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"RES\\huge.xml"), std::string(4 * 1024 * 1024 + 1, ' ')));

    MarkupDocument doc;
    ASSERT_TRUE(doc.LoadSkinFile(L"RES\\main.xml")) << Narrow(doc.GetErrorMessage());
    EXPECT_EQ(Outline(doc.GetRoot()), L"Window(Button)");
    EXPECT_EQ(Str(doc.GetRoot().LookupAttribute(L"caption")), L"0,0,0,30");

    struct Case {
        const wchar_t* name;
        const wchar_t* message;
    };
    const Case failures[] = {
        {L"RES\\missing.xml", L"Error opening file"},
        {L"RES", L"Error opening file"},
        {L"RES\\empty.xml", L"File is empty"},
        {L"RES\\huge.xml", L"File too large"},
    };
    for (const Case& c : failures) {
        SCOPED_TRACE(Narrow(c.name));
        EXPECT_FALSE(doc.LoadSkinFile(c.name));
        EXPECT_EQ(Str(doc.GetErrorMessage()), c.message);
        EXPECT_EQ(Str(doc.GetErrorLocation()), L"");
        EXPECT_FALSE(doc.IsValid());
    }
}
