// The REGEDIT4 text model of the Linux hives, on every system: what regedit and users write is
// read, what is written reads back the same, and faults are reported at their line.
#include "platform/regedit_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry_hive.h"

namespace pellquin {
namespace {

constexpr char kRoot[] = "HKEY_CURRENT_USER";

std::string Dword(uint32_t value) {
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                       static_cast<char>((value >> 16) & 0xFF),
                       static_cast<char>((value >> 24) & 0xFF)};
}

RegistryHive Parsed(const std::string& text) {
    RegistryHive hive;
    const auto fault = ParseRegeditText(text, kRoot, &hive);
    EXPECT_FALSE(fault.has_value()) << "line " << fault.value_or(0) << " of\n" << text;
    return hive;
}

// "name=type:data" for each value of `path`, in the key's order; "(no key)" when missing.
std::vector<std::string> Listing(const RegistryHive& hive, const std::string& path) {
    const HiveKey* key = hive.Find(path);
    if (key == nullptr) {
        return {"(no key)"};
    }
    std::vector<std::string> listing;
    for (const RegistryValue* value : key->Values()) {
        listing.push_back(value->name + "=" + std::to_string(value->type) + ":" + value->data);
    }
    return listing;
}

TEST(ParseRegeditText, ReadsWhatRegeditAndUsersWrite) {
    struct Case {
        const char* what;
        std::string text;
        std::string path;
        std::vector<std::string> values;
    };
    const std::string head = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n";
    const std::vector<Case> cases = {
        {"escapes: only \\\\ and \\\" ",
         head + "\"P\"=\"C:\\\\x \\\"q\\\" \\n\"\r\n",
         "A",
         {"P=1:C:\\x \"q\" \\n"}},
        {"default value and blanks around '='",
         head + "@ = \"d\"\r\n\"E\"=\"\"\r\n",
         "A",
         {"=1:d", "E=1:"}},
        {"dwords in either case, short or full",
         head + "\"a\"=DWORD:FFFFFFFE\r\n\"b\"=dword:1\r\n",
         "A",
         {"a=4:" + Dword(0xFFFFFFFE), "b=4:" + Dword(1)}},
        {"string types lose their NUL, others keep it",
         head + "\"x\"=hex(2):25,00\r\n\"l\"=hex(1):61,0d,0a,00\r\n\"m\"=hex(7):61,00,00\r\n",
         "A",
         {"x=2:%", "l=1:a\r\n", std::string("m=7:a\0\0", 7)}},
        {"binary, empty binary, any type number",
         head + "\"b\"=hex:01,FF\r\n\"e\"=hex:\r\n\"t\"=hex(abc):7f\r\n",
         "A",
         {"b=3:\x01\xff", "e=3:", "t=2748:\x7f"}},
        {"hex continued over lines, CR LF and LF, blanks on both sides",
         head + "\"b\"=hex:01,\\\r\n   02,  \\\n\t03\r\n\"n\"=dword:2\r\n",
         "A",
         {"b=3:\x01\x02\x03", "n=4:" + Dword(2)}},
        {"LF only, comments, a byte order mark, the root's name in any case",
         "\xEF\xBB\xBFREGEDIT4\n; note\n[hkey_current_user\\Sub\\Key]\n  ; more\n\"v\"=\"1\"\n",
         "sub\\KEY",
         {"v=1:1"}},
        {"the root itself holds values",
         "REGEDIT4\r\n[HKEY_CURRENT_USER]\r\n@=\"r\"\r\n",
         "",
         {"=1:r"}},
        {"a name set twice keeps its first spelling and place, the last data",
         head + "\"Name\"=\"1\"\r\n\"z\"=\"2\"\r\n\"NAME\"=dword:3\r\n",
         "A",
         {"Name=4:" + Dword(3), "z=1:2"}},
        {"a removed value written again goes last",
         head + "\"a\"=\"1\"\r\n\"b\"=\"2\"\r\n\"A\"=-\r\n\"A\"=\"3\"\r\n",
         "A",
         {"b=1:2", "A=1:3"}},
        {"a key section repeated adds to the key",
         head +
             "\"a\"=\"1\"\r\n[HKEY_CURRENT_USER\\B]\r\n[HKEY_CURRENT_USER\\a]\r\n\"b\"=\"2\"\r\n",
         "A",
         {"a=1:1", "b=1:2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Listing(Parsed(c.text), c.path), c.values);
    }
}

TEST(ParseRegeditText, RemovedKeysTakeTheirSubkeysAndNoSiblings) {
    const RegistryHive hive = Parsed(
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\A\\B\\C]\r\n[HKEY_CURRENT_USER\\AB]\r\n"
        "[HKEY_CURRENT_USER\\A B]\r\n[HKEY_CURRENT_USER\\A!]\r\n[-HKEY_CURRENT_USER\\a]\r\n"
        "[-HKEY_CURRENT_USER\\Missing]\r\n");
    for (const char* gone : {"A", "A\\B", "A\\B\\C"}) {
        EXPECT_EQ(hive.Find(gone), nullptr) << gone;
    }
    for (const char* kept : {"", "AB", "A B", "A!"}) {
        EXPECT_NE(hive.Find(kept), nullptr) << kept;
    }
}

TEST(ParseRegeditText, NamesTheLineAtFault) {
    struct Case {
        std::string text;
        int line;
    };
    const std::string head = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n";
    const std::vector<Case> cases = {
        {"", 1},
        {"\r\n\r\n", 1},
        {"\r\n; c\r\nREGEDIT5\r\n", 3},
        {"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n", 1},
        {std::string("\xFF\xFER\0E\0", 6), 1},
        {"REGEDIT4\r\n\"Orphan\"=dword:00000001\r\n", 2},
        {"REGEDIT4\r\n\r\n; c\r\n[HKEY_LOCAL_MACHINE\\A]\r\n", 4},
        {"REGEDIT4\r\n[HKEY_CURRENT_USERS\\A]\r\n", 2},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A\r\n", 2},
        {"REGEDIT4\r\n[-HKEY_CURRENT_USER]\r\n", 2},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A\\\\B]\r\n", 2},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A\\]\r\n", 2},
        {head + "\"V\"=dword:123456789\r\n", 4},
        {head + "\"V\"=dword:\r\n", 4},
        {head + "\"V\"=dword:xyz\r\n", 4},
        {head + "\"V\"=\"unterminated\r\n", 4},
        {head + "\"V\"=\"a\"b\"\r\n", 4},
        {head + "\"V\"\"x\"\r\n", 4},
        {head + "\"V\"\r\n", 4},
        {head + "V=\"x\"\r\n", 4},
        {head + "\"V\"=hex:1,2x\r\n", 4},
        {head + "\"V\"=hex:1,,2\r\n", 4},
        {head + "\"V\"=hex:123\r\n", 4},
        {head + "\"V\"=hex():00\r\n", 4},
        {head + "\"V\"=hex(123456789):00\r\n", 4},
        {head + "\"V\"=hex(g):00\r\n", 4},
        {head + "\"V\"=text\r\n", 4},
        {head + "\"V\"=dword:00000001\r\n\"half", 5},
        // A wrapped value is one logical line, named by its first physical line...
        {head + "\"B\"=hex:01,\\\r\n  02,\\\r\n  zz\r\n", 4},
        // ...and the lines after it keep their own numbers.
        {head + "\"B\"=hex:01,\\\r\n  02\r\n\r\n\"C\"=bad\r\n", 7},
        // Only hex data continues: a backslash ends a quoted string's line like any byte.
        {head + "\"S\"=\"x\\\\\"\\\r\n\"T\"=\"y\"\r\n", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        RegistryHive hive;
        EXPECT_EQ(ParseRegeditText(c.text, kRoot, &hive), std::optional<int>(c.line));
    }
}

// One of each kind of value, as FormatRegeditText must spell it.
RegistryHive EveryKindOfValue() {
    RegistryHive hive;
    hive.Create("Software\\Morrowfen");
    HiveKey& key = *hive.Find("Software\\Morrowfen");
    key.Set("Path", kRegSz, "C:\\Data \"q\"");
    key.Set("", kRegSz, "default");
    key.Set("Lines", kRegSz, "a\r\nb");
    key.Set("Expand", kRegExpandSz, "%T%");
    key.Set("Count", kRegDword, Dword(0xABCDEF01));
    key.Set("Short", kRegDword, "\x01\x02");
    key.Set("Blob", kRegBinary, std::string("\x00\xff", 2));
    key.Set("Empty", kRegBinary, "");
    key.Set("Multi", 7, std::string("a\0\0", 3));
    key.Set("Q\"\\", kRegSz, "");
    hive.Create("Software\\Empty");
    hive.Find("")->Set("Top", kRegDword, Dword(1));
    return hive;
}

TEST(FormatRegeditText, WritesRegeditsFormAndReadsBackTheSame) {
    const RegistryHive hive = EveryKindOfValue();
    const std::string text = FormatRegeditText(hive, kRoot);
    EXPECT_EQ(text,
              "REGEDIT4\r\n\r\n"
              "[HKEY_CURRENT_USER]\r\n"
              "\"Top\"=dword:00000001\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software]\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Empty]\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Morrowfen]\r\n"
              "\"Path\"=\"C:\\\\Data \\\"q\\\"\"\r\n"
              "@=\"default\"\r\n"
              "\"Lines\"=hex(1):61,0d,0a,62,00\r\n"
              "\"Expand\"=hex(2):25,54,25,00\r\n"
              "\"Count\"=dword:abcdef01\r\n"
              "\"Short\"=hex(4):01,02\r\n"
              "\"Blob\"=hex:00,ff\r\n"
              "\"Empty\"=hex:\r\n"
              "\"Multi\"=hex(7):61,00,00\r\n"
              "\"Q\\\"\\\\\"=\"\"\r\n\r\n");

    const RegistryHive back = Parsed(text);
    for (const char* path : {"", "Software", "Software\\Empty", "Software\\Morrowfen"}) {
        EXPECT_EQ(Listing(back, path), Listing(hive, path)) << path;
    }
    EXPECT_EQ(FormatRegeditText(back, kRoot), text);
    // An empty hive has only the header, and the root's section only once it holds values.
    EXPECT_EQ(FormatRegeditText(RegistryHive(), kRoot), "REGEDIT4\r\n\r\n");
}

TEST(FormatRegeditText, ManyValuesAndLongWrappedDataRoundTrip) {
    // Lookups are by folded name in a map, so a key with this many values loads in n log n.
    constexpr int kValues = 16384;
    RegistryHive hive;
    hive.Create("Many");
    HiveKey& key = *hive.Find("Many");
    for (int i = kValues - 1; i >= 0; --i) {
        key.Set("Value" + std::to_string(i), kRegSz, std::to_string(i));
    }
    const RegistryHive back = Parsed(FormatRegeditText(hive, kRoot));
    const HiveKey* many = back.Find("many");
    ASSERT_NE(many, nullptr);
    const auto values = many->Values();
    ASSERT_EQ(values.size(), static_cast<size_t>(kValues));
    EXPECT_EQ(values.front()->name, "Value16383");  // the order first written
    EXPECT_EQ(values.back()->name, "Value0");
    for (int i = 0; i < kValues; ++i) {
        const RegistryValue* value = many->Find("VALUE" + std::to_string(i));
        ASSERT_NE(value, nullptr) << i;
        EXPECT_EQ(value->data, std::to_string(i));
    }

    // 64 KiB of binary data wrapped as regedit wraps it, 25 bytes a line.
    std::string bytes;
    std::string text = "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"B\"=hex:";
    for (int i = 0; i < 65536; ++i) {
        bytes += static_cast<char>(i * 7);
        static const char digits[] = "0123456789abcdef";
        text += digits[(bytes.back() >> 4) & 0xF];
        text += digits[bytes.back() & 0xF];
        text += i + 1 == 65536 ? "\r\n" : (i % 25 == 24 ? ",\\\r\n  " : ",");
    }
    const RegistryHive parsed = Parsed(text);
    const RegistryValue* wrapped = parsed.Find("A")->Find("B");
    ASSERT_NE(wrapped, nullptr);
    EXPECT_EQ(wrapped->data.size(), bytes.size());
    EXPECT_TRUE(wrapped->data == bytes);
}

TEST(RegistryHive, KeysAreCreatedWithTheirParentsAndDeletedAlone) {
    RegistryHive hive;
    EXPECT_TRUE(hive.Create("Software\\Morrowfen\\Pellquin"));
    EXPECT_FALSE(hive.Create("SOFTWARE\\morrowfen"));
    EXPECT_TRUE(hive.Create("software\\Other"));
    EXPECT_FALSE(hive.Create(""));
    EXPECT_EQ(hive.Find("SOFTWARE")->Path(), "Software");  // first spelling kept
    // A new key below takes the spelling of the path that created it.
    EXPECT_EQ(hive.Find("software\\other")->Path(), "software\\Other");
    hive.Create("Software\\Morrowfen B");
    hive.Create("Software\\Morrowfen!");

    struct Case {
        const char* path;
        bool hasSubkeys;
    };
    const Case cases[] = {
        {"", true},
        {"software", true},
        {"Software\\Morrowfen", true},
        {"Software\\Morrowfen\\Pellquin", false},
        {"Software\\Morrowfen B", false},
        {"Software\\Morrowfen!", false},
        {"Software\\Other", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(hive.HasSubkeys(c.path), c.hasSubkeys) << c.path;
    }

    hive.Remove("Software\\Morrowfen");
    EXPECT_EQ(hive.Find("Software\\Morrowfen"), nullptr);
    EXPECT_NE(hive.Find("Software\\Morrowfen\\Pellquin"), nullptr);
    EXPECT_NE(hive.Find("Software\\Morrowfen B"), nullptr);

    RegistryHive empty;
    EXPECT_FALSE(empty.HasSubkeys(""));
}

}  // namespace
}  // namespace pellquin
