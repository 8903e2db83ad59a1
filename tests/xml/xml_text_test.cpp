// Text helpers and name-value lists of the XML scanner.
#include <gtest/gtest.h>

#include "libxmlparser.h"

namespace {

TEST(XmlText, WhitespaceHelpers) {
    EXPECT_EQ(TrimWs(" \t\r\nab c\n "), "ab c");
    EXPECT_EQ(TrimWs(" \t "), "");
    EXPECT_EQ(ConvertWs("a\t\n b\r", false), "a   b ");
    EXPECT_EQ(ConvertWs("a\t\n b\r", true), "a b ");
    EXPECT_EQ(StrSFPas("hello" + 1, "hello" + 3), "ell");
    EXPECT_EQ(StrSFPas("hello" + 3, "hello" + 1), "");
    EXPECT_EQ(StrSFPas(nullptr, nullptr), "");
}

TEST(XmlText, Utf8ToAnsiDecodesAndSubstitutes) {
    EXPECT_EQ(Utf8ToAnsi("plain", 191), "plain");
    EXPECT_EQ(Utf8ToAnsi("\xC3\xA9\xE2\x82\xAC\xC2\x81", 191), "\xE9\x80\x81");
    // Four-byte sequence: one substitute for its four bytes.
    EXPECT_EQ(Utf8ToAnsi("a\xF0\x9F\x98\x80z", 191), "a\xBFz");
    // Lone continuation byte, 0xFF alone, a lead byte without enough bytes after it.
    EXPECT_EQ(Utf8ToAnsi("a\x80z", '?'), "a?z");
    EXPECT_EQ(Utf8ToAnsi("a\xFFz", '?'), "a?z");
    EXPECT_EQ(Utf8ToAnsi("a\xC3", '?'), "a?");
    EXPECT_EQ(Utf8ToAnsi("a\xE2\x82", '?'), "a?");
    EXPECT_EQ(Utf8ToAnsi("\xFE", '?'), "?");
    // Code points the code page lacks.
    EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\x80", 191), "\xBF");
}

TEST(XmlText, AnsiToUtf8UsesTheCodePage) {
    EXPECT_EQ(AnsiToUtf8("a\xE9\x80\x81"), "a\xC3\xA9\xE2\x82\xAC\xC2\x81");
    // Round trip of every byte but NUL.
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all), 191), all);
}

TEST(XmlText, NvpListKeepsByteOrderNewestFirst) {
    TNvpList l;
    l.Add(std::make_unique<TNvpNode>("b", "1"));
    l.Add(std::make_unique<TNvpNode>("B", "2"));
    l.Add(std::make_unique<TNvpNode>("a", "3"));
    l.Add(std::make_unique<TNvpNode>("b", "4"));
    ASSERT_EQ(l.Count(), 4);
    EXPECT_EQ(l.Name(0), "B");
    EXPECT_EQ(l.Name(1), "a");
    EXPECT_EQ(l.Value(2), "4");  // the newer "b" before the older one
    EXPECT_EQ(l.Value(3), "1");
    EXPECT_EQ(l.Value("b"), "4");
    EXPECT_EQ(l.Node("c"), nullptr);
    EXPECT_EQ(l.Node(4), nullptr);
    EXPECT_EQ(l.Node(-1), nullptr);
    EXPECT_EQ(l.Name(9), "");
    EXPECT_EQ(l.Value(9), "");
}

TEST(XmlText, AttributeAnalysisStopsWhereNoNameCanStart) {
    TAttrList a;
    const char* text = " x='1' y = \"2\"  novalue z='3'/>";
    const char* end = nullptr;
    a.Analyze(text, end);
    // "novalue" waits for '=' and takes z's value; the analysis stops at the '/'.
    EXPECT_EQ(a.Count(), 3);
    EXPECT_EQ(a.Value("x"), "1");
    EXPECT_EQ(a.Value("y"), "2");
    EXPECT_EQ(a.Value("novalue"), "3");
    EXPECT_EQ(*end, '/');
    a.Analyze("a='1' 9b='2'", end);
    EXPECT_EQ(a.Count(), 1);
    EXPECT_EQ(*end, '9');
}

TEST(XmlText, DisplayNames) {
    EXPECT_STREQ(CPartType_Name[ptNone], "");
    EXPECT_STREQ(CPartType_Name[ptDtdc], "DTD Declaration");
    EXPECT_STREQ(CPartType_Name[ptCData], "CDATA");
    EXPECT_STREQ(CValueType_Name[vtDefault], "Default");
    EXPECT_STREQ(CAttrType_Name[atEnumeration], "Enumeration");
    EXPECT_STREQ(CAttrDefault_Name[adFixed], "Fixed");
    EXPECT_STREQ(CElemType_Name[etChildren], "Childs only");
}

}  // namespace
