// The path browser's logic without Qt: texts, favourites, node data, the file list's order
// and toggles, and the listings over a scripted directory tree.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "browser/core/browser_logic.h"
#include "browser/core/browser_texts.h"
#include "browser/core/file_sort.h"
#include "fake_directory_lister.h"

namespace pellquin {
namespace {

DirectoryEntry Entry(const std::string& name, bool directory, uint64_t size = 0,
                     LocalTime written = LocalTime{2024, 1, 1, 12, 0, 0}) {
    DirectoryEntry entry;
    entry.name = name;
    entry.directory = directory;
    entry.size = size;
    entry.lastWrite = written;
    entry.lastAccess = written;
    entry.creation = written;
    return entry;
}

FileItem Item(const std::string& name, bool directory, uint64_t size = 0,
              LocalTime written = LocalTime{2024, 1, 1, 12, 0, 0}) {
    return MakeFileItem(Entry(name, directory, size, written), "dd/MM/yyyy");
}

TEST(BrowserTexts, SizeIsWholeKilobytesTruncated) {
    const struct {
        uint64_t bytes;
        const char* text;
    } cases[] = {{5000000000ULL, "4882812 KB"}, {1023, "0 KB"}, {1024, "1 KB"}, {0, "0 KB"}};
    for (const auto& c : cases) {
        EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;
        EXPECT_EQ(LeadingNumber(SizeText(c.bytes)), c.bytes / 1024);
    }
    EXPECT_EQ(LeadingNumber(""), 0u);
}

TEST(BrowserTexts, TimeStampIsShortDateThenTwelveHourTime) {
    const struct {
        LocalTime time;
        const char* format;
        const char* text;
    } cases[] = {
        {{2004, 3, 17, 15, 5, 59}, "dd/MM/yyyy", "17/03/2004 3:05 pm"},
        {{2004, 3, 7, 0, 7, 0}, "dd/MM/yyyy", "07/03/2004 12:07 am"},
        {{2004, 3, 7, 12, 0, 0}, "M/d/yy", "3/7/04 12:00 pm"},
        {{2004, 11, 7, 9, 30, 0}, "d.M.yyyy", "7.11.2004 9:30 am"},
        {{2004, 11, 7, 23, 59, 0}, "yyyy-MM-dd", "2004-11-07 11:59 pm"},
        {{}, "dd/MM/yyyy", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TimeStampText(c.time, c.format), c.text);
    }
}

TEST(BrowserTexts, FavouriteEntriesSplitAtTheFirstSeparator) {
    EXPECT_EQ(FavouriteEntry("Docs", "\\\\srv\\data"), "Docs|||\\\\srv\\data");
    const struct {
        const char* entry;
        const char* description;
        const char* path;
    } cases[] = {
        {"Docs|||\\\\srv\\data", "Docs", "\\\\srv\\data"},
        {"a|||b|||/srv", "a", "b|||/srv"},
        {"|||/srv", "", "/srv"},
        {"no separator", "", "no separator"},
    };
    for (const auto& c : cases) {
        const FavouriteParts parts = SplitFavourite(c.entry);
        EXPECT_EQ(parts.description, c.description) << c.entry;
        EXPECT_EQ(parts.path, c.path) << c.entry;
    }
}

TEST(BrowserTexts, ChildPathsKeepTheParentsSeparator) {
    const struct {
        const char* parent;
        const char* child;
    } cases[] = {
        {"C:\\", "C:\\Data"},
        {"C:\\Data", "C:\\Data\\Data"},
        {"\\\\srv\\data", "\\\\srv\\data\\Data"},
        {"/", "/Data"},
        {"/srv/x", "/srv/x/Data"},
        {"//srv/data/", "//srv/data/Data"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChildPath(c.parent, "Data"), c.child) << c.parent;
    }
    // A Linux name may hold a backslash; the path's first separator decides.
    EXPECT_EQ(WithTrailingSeparator("/srv/a\\"), "/srv/a\\/");
}

TEST(CompareFileItems, ByNameDirectoriesComeFirstAndDescendingIsTheExactReverse) {
    const FileItem dirA = Item("a", true);
    const FileItem fileB = Item("B", false, 10);
    EXPECT_LT(CompareFileItems(dirA, fileB, kFileColumnName), 0);
    EXPECT_GT(CompareFileItems(dirA, fileB, kFileColumnName | kSortDescending), 0);
    EXPECT_EQ(CompareFileItems(Item("b", false), Item("B", false), kFileColumnName), 0);
    EXPECT_EQ(
        CompareFileItems(Item("b", false), Item("B", false), kFileColumnName | kSortDescending), 0);
    // Only ASCII letters fold; other bytes compare as unsigned values.
    EXPECT_LT(CompareFileItems(Item("Z", false), Item("\xC3\xA9", false), kFileColumnName), 0);
    // Letters fold to upper case, so "_" (0x5F) sorts after "a" (as "A", 0x41).
    EXPECT_GT(CompareFileItems(Item("_", false), Item("a", false), kFileColumnName), 0);
}

TEST(CompareFileItems, BySizeReadsTheNumberAndGroupsDirectoriesFirst) {
    const FileItem nine = Item("x", false, 9 * 1024);
    const FileItem ten = Item("y", false, 10 * 1024);
    EXPECT_LT(CompareFileItems(nine, ten, kFileColumnSize), 0);
    EXPECT_GT(CompareFileItems(nine, ten, kFileColumnSize | kSortDescending), 0);
    EXPECT_LT(CompareFileItems(Item("d", true), Item("e", false, 0), kFileColumnSize), 0);
    EXPECT_EQ(CompareFileItems(Item("p", false, 1000), Item("q", false, 10), kFileColumnSize), 0);
}

TEST(CompareFileItems, ByTimeDirectoriesAndFilesInterleave) {
    const FileItem oldFile = Item("old", false, 1, {2020, 5, 1, 9, 0, 0});
    const FileItem midDir = Item("mid", true, 0, {2021, 5, 1, 9, 0, 0});
    const FileItem newFile = Item("new", false, 1, {2022, 5, 1, 9, 0, 0});
    for (int column : {kFileColumnModified, kFileColumnAccessed, kFileColumnCreated}) {
        EXPECT_LT(CompareFileItems(oldFile, midDir, column), 0);
        EXPECT_LT(CompareFileItems(midDir, newFile, column), 0);
        EXPECT_GT(CompareFileItems(oldFile, midDir, column | kSortDescending), 0);
    }
    // The texts show minutes: times within one minute are equal.
    EXPECT_EQ(CompareFileItems(Item("a", false, 0, {2020, 1, 1, 9, 0, 1}),
                               Item("b", false, 0, {2020, 1, 1, 9, 0, 59}), kFileColumnModified),
              0);
    EXPECT_EQ(CompareFileItems(oldFile, newFile, 7), 0);
}

TEST(FileSortState, EachColumnKeepsItsOwnToggleAndTheMarkerFollowsTheClick) {
    FileSortState state;
    EXPECT_EQ(state.MarkedColumn(), -1);
    EXPECT_EQ(state.ColumnClick(1), 1);
    EXPECT_EQ(state.ColumnClick(1), 1 | kSortDescending);
    EXPECT_EQ(state.ColumnClick(0), 0);
    EXPECT_EQ(state.MarkedColumn(), 0);
    EXPECT_EQ(state.ColumnClick(1), 1);
    EXPECT_EQ(state.ColumnClick(0), 0 | kSortDescending);
    EXPECT_EQ(state.MarkedColumn(), 0);
}

TEST(Favourites, DeletionRemovesTheChosenFavouriteNotAnotherOfTheSameName) {
    const std::vector<std::string> stored = {"Docs|||/a", "Do|||/x", "Docs|||/b", "Docs|||/c"};
    const driveitem b{"/b", "Docs", kKindPath, 1};
    const struct {
        size_t position;
        driveitem item;
        std::vector<std::string> left;
    } cases[] = {
        {2, b, {"Docs|||/a", "Do|||/x", "Docs|||/c"}},
        // A position out of step with the list: the entry with the same description and path.
        {0, b, {"Docs|||/a", "Do|||/x", "Docs|||/c"}},
        {SIZE_MAX, b, {"Docs|||/a", "Do|||/x", "Docs|||/c"}},
        // No entry holds that path any more: the first of the description.
        {3, driveitem{"/gone", "Docs", kKindPath, 1}, {"Do|||/x", "Docs|||/b", "Docs|||/c"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> list = stored;
        EXPECT_TRUE(RemoveFavourite(list, c.position, c.item));
        EXPECT_EQ(list, c.left) << c.position;
    }
    std::vector<std::string> list = stored;
    EXPECT_FALSE(RemoveFavourite(list, 0, driveitem{"/a", "docs", kKindPath, 1}));
    EXPECT_FALSE(RemoveFavourite(list, 1, driveitem{"/x", "D", kKindPath, 1}));
    EXPECT_EQ(list, stored);
    // An entry without the separator is all path, with an empty description.
    list = {"hand-edited"};
    EXPECT_TRUE(RemoveFavourite(list, 0, driveitem{"hand-edited", "", kKindPath, 1}));
    EXPECT_TRUE(list.empty());
}

TEST(DriveNodes, FixedAndNetworkDrivesOnlyInTheSourcesOrder) {
    const std::vector<DriveInfo> drives = {
        {"A:\\", "A:", DriveType::Removable, "", ""},
        {"C:\\", "C:", DriveType::Fixed, "SYSTEM", ""},
        {"D:\\", "D:", DriveType::Fixed, "", ""},
        {"E:\\", "E:", DriveType::CdRom, "DISC", ""},
        {"G:\\", "G:", DriveType::Remote, "", "\\\\srv\\data"},
        {"R:\\", "R:", DriveType::RamDisk, "", ""},
        {"Z:\\", "Z:", DriveType::NoRootDir, "", ""},
    };
    const std::vector<NodeOutline> nodes = DriveNodes(drives);
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0].caption, "C: (SYSTEM)");
    EXPECT_EQ(nodes[0].image, kImageFixedDisk);
    EXPECT_EQ(nodes[1].caption, "D: ()");
    EXPECT_EQ(nodes[2].caption, "G: (\\\\srv\\data)");
    EXPECT_EQ(nodes[2].image, kImageNetworkDrive);
    EXPECT_EQ(nodes[2].item.path, "G:\\");
    EXPECT_EQ(nodes[2].item.name, "\\\\srv\\data");
    EXPECT_EQ(nodes[0].item.name, "");
    for (const NodeOutline& node : nodes) {
        EXPECT_EQ(node.item.kind, kKindPath);
        EXPECT_EQ(node.item.favourite, 0);
    }
    const NodeOutline favourite = FavouriteNode("Reports|||\\\\srv\\data\\reports");
    EXPECT_EQ(favourite.caption, "Reports");
    EXPECT_EQ(favourite.image, kImageNetworkDrive);
    EXPECT_EQ(favourite.item.path, "\\\\srv\\data\\reports");
    EXPECT_EQ(favourite.item.name, "Reports");
    EXPECT_EQ(favourite.item.favourite, 1);
}

TEST(PopupItems, CheckForPathNodesDeleteForFavourites) {
    const driveitem directory{"/srv/x", "", kKindPath, 0};
    const driveitem favourite{"/srv", "Srv", kKindPath, 1};
    const driveitem group{"", "", kKindGroup, 0};
    const driveitem action{"", "", kKindAddFavourite, 0};
    const struct {
        const driveitem* item;
        bool check;
        bool remove;
    } cases[] = {{&directory, true, false},
                 {&favourite, true, true},
                 {&group, false, false},
                 {&action, false, false},
                 {nullptr, false, false}};
    for (const auto& c : cases) {
        const PopupItems items = PopupItemsFor(c.item);
        EXPECT_EQ(items.check, c.check);
        EXPECT_EQ(items.deleteFavourite, c.remove);
    }
}

class Listing : public ::testing::Test {
protected:
    test::FakeDirectoryLister lister;
    std::vector<std::string> progress;
    std::function<void(const std::string&)> Record() {
        return [this](const std::string& text) { progress.push_back(text); };
    }
};

TEST_F(Listing, EveryHundredthEntryIsReportedDotsAndHiddenDirectoriesCounted) {
    auto& entries = lister.directories["/d"];
    entries = {Entry(".", true), Entry("..", true), Entry("sub", true)};
    for (int i = 0; i < 247; ++i) {
        entries.push_back(Entry("f" + std::to_string(i), false, 2048));
    }
    auto items = ListFileItems(lister, "/d", false, PatternDateText("dd/MM/yyyy"), Record());
    ASSERT_TRUE(items);
    EXPECT_EQ(items->size(), 247u);
    EXPECT_EQ(progress, (std::vector<std::string>{"Loading Directory Contents",
                                                  "Loading Directory Contents 100",
                                                  "Loading Directory Contents 200"}));
    EXPECT_EQ((*items)[0].sizeText, "2 KB");
    EXPECT_EQ((*items)[0].image, kImageDocument);

    items = ListFileItems(lister, "/d", true, PatternDateText("dd/MM/yyyy"), nullptr);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 248u);
    EXPECT_EQ((*items)[0].caption, "sub");
    EXPECT_EQ((*items)[0].tag, kTagDirectory);
    EXPECT_EQ((*items)[0].sizeText, "");
}

TEST_F(Listing, SubdirectoriesInSearchOrderAndMissingPathsReportNothing) {
    lister.directories["/d"] = {Entry(".", true), Entry("..", true), Entry("z", true),
                                Entry("file", false), Entry(".hidden", true)};
    const auto names = SubdirectoryNames(lister, "/d", Record());
    ASSERT_TRUE(names);
    EXPECT_EQ(*names, (std::vector<std::string>{"z", ".hidden"}));
    EXPECT_EQ(progress, std::vector<std::string>{"Loading Directories"});
    progress.clear();
    EXPECT_FALSE(SubdirectoryNames(lister, "/gone", Record()));
    EXPECT_FALSE(ListFileItems(lister, "/gone", true, PatternDateText("d/M/yy"), Record()));
    EXPECT_TRUE(progress.empty());
}

}  // namespace
}  // namespace pellquin
