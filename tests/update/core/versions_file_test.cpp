#include "update/core/versions_file.h"

#include <gtest/gtest.h>

namespace pellquin::test {
namespace {

using Kind = VersionsFileEntry::Kind;

struct Case {
    const char* name;
    const char* document;
    Kind kind;
    const char* version;
    const char* url;
};

TEST(ReadVersionsFile, FindsFirstExactlyNamedElements) {
    const Case cases[] = {
        {"plain",
         "<ProductVersions><Pellquin><Version>2.11</Version><URL>http://d/p</URL>"
         "</Pellquin></ProductVersions>",
         Kind::Found, "2.11", "http://d/p"},
        {"declaration, comments, attributes and other products ignored",
         "<?xml version=\"1.0\"?><!-- list --><ProductVersions a=\"1\"><Other><Version>9"
         "</Version><URL>o</URL></Other><Pellquin id=\"x\"><Notes/><URL>u</URL>"
         "<Version>2.2</Version></Pellquin></ProductVersions>",
         Kind::Found, "2.2", "u"},
        {"first occurrences count",
         "<ProductVersions><Pellquin><Version>1</Version><Version>2</Version><URL>a</URL>"
         "<URL>b</URL></Pellquin><Pellquin><Version>3</Version><URL>c</URL></Pellquin>"
         "</ProductVersions>",
         Kind::Found, "1", "a"},
        {"empty elements read as empty texts",
         "<ProductVersions><Pellquin><Version/><URL></URL></Pellquin></ProductVersions>",
         Kind::Found, "", ""},
        {"CDATA and entities",
         "<ProductVersions><Pellquin><Version><![CDATA[2.3]]></Version>"
         "<URL>http://d/?a=1&amp;b=2</URL></Pellquin></ProductVersions>",
         Kind::Found, "2.3", "http://d/?a=1&b=2"},
        {"other products only",
         "<ProductVersions><Other><Version>3</Version><URL>u</URL></Other></ProductVersions>",
         Kind::Missing, "", ""},
        {"product name differs in case",
         "<ProductVersions><pellquin><Version>3</Version><URL>u</URL></pellquin>"
         "</ProductVersions>",
         Kind::Missing, "", ""},
        {"top-level element differs in case",
         "<productversions><Pellquin><Version>3</Version><URL>u</URL></Pellquin>"
         "</productversions>",
         Kind::Missing, "", ""},
        {"product nested deeper is not a child",
         "<ProductVersions><Group><Pellquin><Version>3</Version><URL>u</URL></Pellquin>"
         "</Group></ProductVersions>",
         Kind::Missing, "", ""},
        {"no URL", "<ProductVersions><Pellquin><Version>3</Version></Pellquin></ProductVersions>",
         Kind::Missing, "", ""},
        {"no Version", "<ProductVersions><Pellquin><URL>u</URL></Pellquin></ProductVersions>",
         Kind::Missing, "", ""},
        {"Version holds an element",
         "<ProductVersions><Pellquin><Version>2<b/>3</Version><URL>u</URL></Pellquin>"
         "</ProductVersions>",
         Kind::Malformed, "", ""},
        {"mismatched tags", "<ProductVersions><Pellquin></ProductVersions>", Kind::Malformed, "",
         ""},
        {"empty body", "", Kind::Malformed, "", ""},
        {"HTML page", "<html><body>Not here<br></body></html>", Kind::Malformed, "", ""},
    };
    for (const Case& c : cases) {
        const VersionsFileEntry entry = ReadVersionsFile(c.document, "Pellquin");
        EXPECT_EQ(entry.kind, c.kind) << c.name;
        EXPECT_EQ(entry.version, c.version) << c.name;
        EXPECT_EQ(entry.url, c.url) << c.name;
        EXPECT_EQ(entry.error.empty(), c.kind != Kind::Malformed) << c.name;
    }
}

TEST(ReadVersionsFile, ErrorsSayWhatIsWrong) {
    EXPECT_EQ(ReadVersionsFile("<ProductVersions><Pellquin></ProductVersions>", "Pellquin").error,
              "The versions file is not well-formed XML: Start-end tags mismatch (at offset 29)");
    EXPECT_EQ(ReadVersionsFile("<ProductVersions><Pellquin><Version>2</Version><URL>a<i/></URL>"
                               "</Pellquin></ProductVersions>",
                               "Pellquin")
                  .error,
              "The element \"URL\" of the versions file does not hold a single text");
}

}  // namespace
}  // namespace pellquin::test
