#include "browse/folder_list.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "browse/folder_scan.h"
#include "hub/message_hub.h"
#include "recorder.h"
#include "support/temp_dir.h"

namespace lorvex {
namespace {

using testing::Recorder;
using testing::TempDir;
using Names = std::vector<std::string>;

// A fresh hub with a folder list (slot 0, as at start-up) and a recorder.
struct Fixture {
    MessageHub hub;
    FolderList list{&hub};
    Recorder rec{&hub};

    void scan(const TempDir& dir) { (void)ScanFolder(dir.path().c_str(), &hub); }

    Names names() const {
        Names out;
        for (int i = 0; i < list.SortedCount(); ++i) {
            char buf[kMaxPath];
            EXPECT_EQ(list.NameAt(i, buf, sizeof buf), 0);
            out.emplace_back(buf);
        }
        return out;
    }
    Names disk_names() const {
        Names out;
        for (int i = 0; i < list.SortedCount(); ++i) {
            char buf[kMaxPath];
            EXPECT_EQ(list.DiskNameAt(i, buf, sizeof buf), 0);
            out.emplace_back(buf);
        }
        return out;
    }
};

std::string read_all(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(FolderList, EmptyFolderGivesAnEmptyListAndAnnouncesIt) {
    TempDir dir;
    dir.write("notes.txt", "x");
    Fixture f;
    f.scan(dir);
    EXPECT_EQ(f.list.Mode(), 1);
    EXPECT_EQ(f.list.Count(), 0);
    EXPECT_EQ(f.list.SortedCount(), 0);
    EXPECT_EQ(f.list.Current(), 0);
    EXPECT_EQ(f.list.LastPosition(), 0);
    EXPECT_EQ(f.rec.ready, (std::vector<int32_t>{kListFolder}));
    char path[kMaxPath];
    ASSERT_EQ(f.list.FolderPath(path, sizeof path), 0);
    EXPECT_EQ(std::string(path), dir.path());
}

TEST(FolderList, StartsByNameInReverseOrder) {
    TempDir dir;
    for (const char* n : {"a.jpg", "c.jpg", "b.jpg"}) dir.write(n, "x");
    Fixture f;
    EXPECT_EQ(f.list.Key(), SORT_NAME);
    EXPECT_FALSE(f.list.IsForward());
    EXPECT_EQ(f.list.Count(), -1);  // nothing listed yet
    f.scan(dir);
    EXPECT_EQ(f.names(), (Names{"c.jpg", "b.jpg", "a.jpg"}));
}

TEST(FolderList, UpperCaseFilesAreListedLowerAndStillRead) {
    TempDir dir;
    dir.write("A.JPG", "aaaa");
    dir.write("b.png", "bb");
    dir.write("IMG_0001.JPG", "photo-one");
    dir.write("photoJPG", "no-dot");
    Fixture f;
    f.scan(dir);
    f.list.SetForward();
    EXPECT_EQ(f.names(), (Names{"a.jpg", "b.png", "img_0001.jpg", "photojpg"}));
    EXPECT_EQ(f.disk_names(), (Names{"A.JPG", "b.png", "IMG_0001.JPG", "photoJPG"}));
    const int32_t sizes[] = {4, 2, 9, 6};
    const int32_t formats[] = {3, 4, 3, 3};
    for (int i = 0; i < 4; ++i) {
        const FolderEntry* e = f.list.EntryAt(i);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->size, sizes[i]) << e->name;
        EXPECT_EQ(e->format, formats[i]) << e->name;
        char path[kMaxPath];
        ASSERT_EQ(f.list.FullPathAt(i, path, sizeof path), 0);
        EXPECT_EQ(std::string(path), dir.file(f.disk_names()[i]));
        EXPECT_EQ(read_all(path).size(), static_cast<size_t>(sizes[i]));
    }
    f.list.SetReverse();
    EXPECT_EQ(f.names(), (Names{"photojpg", "img_0001.jpg", "b.png", "a.jpg"}));
}

TEST(FolderList, EntryDateIsTheCreationTime) {
    TempDir dir;
    const int64_t before = std::time(nullptr);
    dir.write("a.jpg", "x");
    const int64_t after = std::time(nullptr);
    const timespec old_times[2] = {{631152000, 0}, {631152000, 0}};  // 1990-01-01
    ASSERT_EQ(utimensat(AT_FDCWD, dir.file("a.jpg").c_str(), old_times, 0), 0);
    Fixture f;
    f.scan(dir);
    ASSERT_NE(f.list.EntryAt(0), nullptr);
    EXPECT_GE(f.list.EntryAt(0)->date, before - 1);
    EXPECT_LE(f.list.EntryAt(0)->date, after + 1);
}

// Ties come out in the order the list's own quicksort steps give, and the
// reverse direction mirrors the forward one exactly. Entries go in in byte
// order of their disk names.
TEST(FolderList, EqualKeysFollowTheQuicksortStepsAndMirrorInReverse) {
    struct Case {
        const char* reason;
        int32_t key;
        std::vector<std::pair<const char*, int>> files;  // disk name, size
        Names forward;                                   // disk names, forward
    };
    const Case kCases[] = {
        {"sizes 5, 5, 1: the middle pivot swaps the outer two",
         SORT_SIZE,
         {{"a.jpg", 5}, {"b.jpg", 5}, {"c.jpg", 1}},
         {"c.jpg", "b.jpg", "a.jpg"}},
        {"types 4, 3, 2, 3: the two JPEGs change places",
         SORT_TYPE,
         {{"a.png", 0}, {"b.jpg", 0}, {"c.gif", 0}, {"d.jpg", 0}},
         {"c.gif", "d.jpg", "b.jpg", "a.png"}},
        {"two spellings of one name: the pivot is swapped behind its twin",
         SORT_NAME,
         {{"A.JPG", 0}, {"a.jpg", 0}},
         {"a.jpg", "A.JPG"}},
        {"three spellings of one name",
         SORT_NAME,
         {{"A.JPG", 0}, {"A.jpg", 0}, {"a.jpg", 0}},
         {"a.jpg", "A.JPG", "A.jpg"}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.reason);
        TempDir dir;
        for (const auto& [name, size] : c.files) dir.write(name, std::string(size, 'x'));
        Fixture f;
        f.list.SetKey(c.key);
        f.scan(dir);
        f.list.SetForward();
        EXPECT_EQ(f.disk_names(), c.forward);
        f.list.SetReverse();
        EXPECT_EQ(f.disk_names(), Names(c.forward.rbegin(), c.forward.rend()));
    }
}

// The quicksorts exactly as stepped, over (key, disk name) in entry order;
// the list must order larger inputs full of ties the same way.
void stepped_key_sort(std::vector<std::pair<int32_t, std::string>>& p, int lo, int hi) {
    int i = lo, j = hi;
    const int32_t pivot = p[(lo + hi) / 2].first;
    while (i <= j) {
        while (p[i].first < pivot && i < hi) ++i;
        while (p[j].first > pivot && j > lo) --j;
        if (i <= j) std::swap(p[i++], p[j--]);
    }
    if (lo < j) stepped_key_sort(p, lo, j);
    if (i < hi) stepped_key_sort(p, i, hi);
}

void stepped_name_sort(std::vector<std::pair<std::string, std::string>>& p, int lo, int hi) {
    const int n = static_cast<int>(p.size());
    if (lo >= hi) return;
    const std::string pivot = p[lo].first;
    int i = lo, j = hi + 1;
    while (true) {
        ++i;
        while (i < n && p[i].first < pivot) ++i;
        --j;
        while (j < n && p[j].first > pivot) --j;
        if (i < j) std::swap(p[i], p[j]);
        if (i >= j) break;
    }
    std::swap(p[lo], p[j]);
    stepped_name_sort(p, lo, j - 1);
    stepped_name_sort(p, j + 1, hi);
}

// Lists files of the given disk names with random small sizes and checks
// both orders against the stepped quicksorts.
void expect_stepped_orders(std::vector<std::string> disk, unsigned seed) {
    TempDir dir;
    std::mt19937 rng(seed);
    std::sort(disk.begin(), disk.end());  // the order the entries go in
    disk.erase(std::unique(disk.begin(), disk.end()), disk.end());
    std::vector<int32_t> sizes;
    for (const std::string& name : disk) {
        sizes.push_back(static_cast<int32_t>(rng() % 6));
        dir.write(name, std::string(sizes.back(), 'x'));
    }
    const int n = static_cast<int>(disk.size());
    Fixture f;
    f.scan(dir);
    ASSERT_EQ(f.list.Count(), n);

    std::vector<std::pair<std::string, std::string>> by_name;
    for (const std::string& d : disk) {
        std::string lower = d;
        for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        by_name.emplace_back(lower, d);
    }
    stepped_name_sort(by_name, 0, n - 1);
    f.list.SetForward();
    Names expected;
    for (const auto& [lower, d] : by_name) expected.push_back(d);
    EXPECT_EQ(f.disk_names(), expected);

    std::vector<std::pair<int32_t, std::string>> by_size;
    for (int i = 0; i < n; ++i) by_size.emplace_back(sizes[i], disk[i]);
    stepped_key_sort(by_size, 0, n - 1);
    f.list.SetKey(SORT_SIZE);
    expected.clear();
    for (const auto& [size, d] : by_size) expected.push_back(d);
    EXPECT_EQ(f.disk_names(), expected);
}

std::string with_case(std::string name, unsigned upper_mask) {
    for (size_t k = 0; k < name.size() && k < 32; ++k) {
        if ((upper_mask & (1u << k)) && name[k] >= 'a' && name[k] <= 'z') name[k] -= 'a' - 'A';
    }
    return name;
}

TEST(FolderList, LargeListsFullOfTiesMatchTheSteppedQuicksorts) {
    {
        SCOPED_TRACE("every case spelling of a few names: many equal names");
        std::vector<std::string> disk;
        for (const char* base : {"ab.jpg", "cd.png", "e.gif"}) {
            for (unsigned mask = 0; mask < 4; ++mask) {
                for (int prefix = 0; prefix < 4; ++prefix) {
                    disk.push_back(std::to_string(prefix) + with_case(base, mask));
                }
            }
        }
        expect_stepped_orders(disk, 1);
    }
    {
        SCOPED_TRACE("capitalised names first in byte order, a few twins among them");
        std::vector<std::string> disk;
        char name[16];
        for (int i = 0; i < 120; ++i) {
            std::snprintf(name, sizeof name, "b%03d.jpg", i);
            disk.push_back(with_case(name, 1));
            std::snprintf(name, sizeof name, "a%03d.jpg", i);
            disk.push_back(name);
            if (i % 17 == 0) disk.push_back(with_case(name, 1));
        }
        expect_stepped_orders(disk, 2);
    }
    {
        SCOPED_TRACE("an ordered run with twins spread through it");
        std::vector<std::string> disk;
        char name[16];
        for (int i = 0; i < 200; ++i) {
            std::snprintf(name, sizeof name, "p%03d.jpg", i);
            disk.push_back(name);
            if (i % 9 == 4) disk.push_back(with_case(name, 0x1e));
        }
        expect_stepped_orders(disk, 3);
    }
    {
        SCOPED_TRACE("no twins: runs of ordered names in three spellings");
        std::vector<std::string> disk;
        const char* kPatterns[] = {"IMG_%04d.JPG", "holiday %04d.png", "scan%04d.gif"};
        char name[32];
        for (int i = 0; i < 300; ++i) {
            std::snprintf(name, sizeof name, kPatterns[i % 3], i);
            disk.push_back(name);
        }
        expect_stepped_orders(disk, 4);
    }
}

TEST(FolderList, EveryKeyGivesACompleteOrderedView) {
    TempDir dir;
    dir.write("b.png", "xxx");
    dir.write("a.jpg", "x");
    dir.write("c.gif", "xx");
    Fixture f;
    f.scan(dir);
    f.list.SetForward();
    struct Case {
        int32_t key;
        Names forward;
        const char* reason;
    };
    const Case kCases[] = {
        {SORT_NAME, {"a.jpg", "b.png", "c.gif"}, "by name"},
        {SORT_SIZE, {"a.jpg", "c.gif", "b.png"}, "by size 1, 2, 3"},
        {SORT_TYPE, {"c.gif", "a.jpg", "b.png"}, "by format 2, 3, 4"},
        {SORT_STAR, {"a.jpg", "b.png", "c.gif"}, "no stars on files: name order"},
        {SORT_HITS, {"a.jpg", "b.png", "c.gif"}, "no hit counts on files: name order"},
        {3, {"a.jpg", "b.png", "c.gif"}, "an unknown key: name order"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.reason);
        f.list.SetKey(c.key);
        EXPECT_EQ(f.list.Key(), c.key);
        EXPECT_EQ(f.names(), c.forward);
    }
    f.list.SetKey(SORT_DATE);
    EXPECT_EQ(f.list.SortedCount(), 3);
    for (int i = 1; i < 3; ++i) EXPECT_LE(f.list.EntryAt(i - 1)->date, f.list.EntryAt(i)->date);
    // Every re-sort was announced.
    EXPECT_EQ(f.rec.ready.size(), 1u + 1u + 7u);
}

TEST(FolderList, KeyAndDirectionStayWhenAnotherFolderIsListed) {
    TempDir one, two;
    one.write("a.jpg", "xx");
    two.write("x.jpg", "xxx");
    two.write("y.jpg", "x");
    Fixture f;
    f.scan(one);
    f.list.SetKey(SORT_SIZE);
    f.list.SetForward();
    f.scan(two);
    EXPECT_EQ(f.list.Key(), SORT_SIZE);
    EXPECT_TRUE(f.list.IsForward());
    EXPECT_EQ(f.names(), (Names{"y.jpg", "x.jpg"}));
}

TEST(FolderList, SetKeyBeforeAnyListingAnnouncesAnEmptyList) {
    Fixture f;
    f.list.SetKey(SORT_SIZE);
    EXPECT_EQ(f.rec.ready, (std::vector<int32_t>{kListFolder}));
    EXPECT_EQ(f.list.SortedCount(), 0);
    EXPECT_EQ(f.list.Current(), 0);
    EXPECT_EQ(f.list.Count(), -1);
    f.list.SetKey(SORT_NAME);
    f.list.SetForward();
    EXPECT_EQ(f.rec.ready.size(), 3u);
    EXPECT_EQ(f.list.SortedCount(), 0);
}

// Empty files, made without the folder checks of TempDir::write: thousands
// of them are needed.
void touch_pictures(const TempDir& dir, int count) {
    for (int i = 0; i < count; ++i) {
        const int fd = open(dir.file("p" + std::to_string(i) + ".jpg").c_str(),
                            O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        close(fd);
    }
}

TEST(FolderList, AFolderOfMoreThanFiveThousandPicturesIsNotListedAndThePreviousListStays) {
    TempDir small, big;
    small.write("a.jpg", "x");
    small.write("b.jpg", "x");
    touch_pictures(big, 5001);
    big.write("extra.txt", "");  // not a picture: does not count
    Fixture f;
    f.scan(small);
    ASSERT_EQ(f.list.SetCurrent(1), 0);
    ASSERT_EQ(f.rec.listed.size(), 1u);
    const size_t announced = f.rec.ready.size();

    EXPECT_EQ(ScanFolder(big.path().c_str(), &f.hub), ScanOutcome::kTooManyPictures);
    EXPECT_EQ(last_scan_outcome(), ScanOutcome::kTooManyPictures);
    EXPECT_STREQ(scan_outcome_text(last_scan_outcome()),
                 "More than 5000 pictures: folder not listed");
    EXPECT_EQ(f.rec.listed.size(), 1u);  // nothing was sent
    EXPECT_EQ(f.rec.ready.size(), announced);
    EXPECT_EQ(f.list.Count(), 2);
    EXPECT_EQ(f.list.Current(), 1);
    EXPECT_EQ(f.names(), (Names{"b.jpg", "a.jpg"}));
    char folder[kMaxPath];
    ASSERT_EQ(f.list.FolderPath(folder, sizeof folder), 0);
    EXPECT_EQ(std::string(folder), small.path());

    ASSERT_EQ(unlink(big.file("p5000.jpg").c_str()), 0);
    EXPECT_EQ(ScanFolder(big.path().c_str(), &f.hub), ScanOutcome::kListed);
    EXPECT_STREQ(scan_outcome_text(last_scan_outcome()), "");
    ASSERT_EQ(f.rec.listed.size(), 2u);
    EXPECT_EQ(f.rec.listed[1].count, 5000);
    EXPECT_EQ(f.list.Count(), 5000);
    EXPECT_EQ(f.list.SortedCount(), 5000);
    EXPECT_EQ(f.list.Current(), 0);
}

TEST(FolderList, OnlyPictureFilesAreListedAndMngHasNoFormatIdentifier) {
    TempDir dir;
    ASSERT_EQ(mkdir(dir.file("x.jpg").c_str(), 0755), 0);
    dir.write("movie.mng", "mm");
    dir.write("a.jpg", "a");
    Fixture f;
    f.scan(dir);
    f.list.SetForward();
    EXPECT_EQ(f.names(), (Names{"a.jpg", "movie.mng"}));
    EXPECT_EQ(f.list.EntryAt(1)->format, -1);
}

TEST(FolderList, PositionsOutsideTheViewAreRefused) {
    TempDir dir;
    dir.write("a.jpg", "x");
    dir.write("b.jpg", "x");
    Fixture f;
    f.scan(dir);
    char buf[kMaxPath];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(f.list.NameAt(2, buf, sizeof buf), -1) << "position equal to the sorted count";
    EXPECT_EQ(f.list.NameAt(-1, buf, sizeof buf), -1) << "negative position";
    EXPECT_EQ(f.list.NameAt(0, buf, kMaxPath - 1), -1) << "buffer shorter than a name field";
    EXPECT_EQ(f.list.FullPathAt(2, buf, sizeof buf), -1);
    EXPECT_EQ(f.list.FolderPath(buf, kMaxPath - 1), -1);
    for (char c : buf) ASSERT_EQ(c, '#');
    EXPECT_EQ(f.list.EntryAt(2), nullptr);
    EXPECT_EQ(f.list.SetCurrent(2), -1);
    EXPECT_EQ(f.list.SetCurrent(-1), -1);
    EXPECT_EQ(f.list.Current(), 0);
}

TEST(FolderList, NavigationStaysInsideTheView) {
    struct Step {
        const char* what;
        int (*op)(FolderList&);
        int current;
    };
    const Step kSteps[] = {
        {"Previous at 0 stays", [](FolderList& l) { return l.Previous(); }, 0},
        {"Next", [](FolderList& l) { return l.Next(); }, 1},
        {"Next", [](FolderList& l) { return l.Next(); }, 2},
        {"Next at the end stays", [](FolderList& l) { return l.Next(); }, 2},
        {"First", [](FolderList& l) { return l.First(); }, 0},
        {"Last", [](FolderList& l) { return l.Last(); }, 2},
        {"Previous", [](FolderList& l) { return l.Previous(); }, 1},
        {"SetCurrent 0", [](FolderList& l) { return l.SetCurrent(0); }, 0},
    };
    TempDir dir;
    for (const char* n : {"a.jpg", "b.jpg", "c.jpg"}) dir.write(n, "x");
    Fixture f;
    f.scan(dir);
    EXPECT_EQ(f.list.LastPosition(), 2);
    for (const Step& s : kSteps) {
        EXPECT_EQ(s.op(f.list), 0) << s.what;
        EXPECT_EQ(f.list.Current(), s.current) << s.what;
    }
    // A re-sort starts again at the first position.
    ASSERT_EQ(f.list.Last(), 0);
    f.list.SetForward();
    EXPECT_EQ(f.list.Current(), 0);
}

TEST(FolderList, LastOfAShortListIsZero) {
    TempDir dir;
    dir.write("a.jpg", "x");
    Fixture f;
    EXPECT_EQ(f.list.Last(), 0);
    EXPECT_EQ(f.list.Current(), 0);
    f.scan(dir);
    EXPECT_EQ(f.list.Last(), 0);
    EXPECT_EQ(f.list.Current(), 0);
    EXPECT_EQ(f.list.LastPosition(), 0);
}

// A hand-made listing of names that may not match the folder.
struct Listing {
    FolderListing record;
    std::vector<NameField> names;
    std::vector<int32_t> formats;

    Listing(const std::string& folder, const Names& files)
        : names(files.size()), formats(files.size(), 3) {
        std::memcpy(record.folder, folder.data(), folder.size());
        for (size_t i = 0; i < files.size(); ++i) {
            std::memcpy(names[i], files[i].data(), std::min(files[i].size(), kMaxPath));
        }
        record.count = static_cast<int32_t>(files.size());
        record.names = names.data();
        record.formats = formats.data();
    }
};

TEST(FolderList, BuildStopsAtTheFirstFileItCannotReadAndKeepsTheEntriesBefore) {
    TempDir dir;
    dir.write("a.jpg", "x");
    dir.write("c.jpg", "x");
    ASSERT_EQ(mkdir(dir.file("d.jpg").c_str(), 0755), 0);
    const std::string long_name = std::string(kMaxPath - dir.path().size() - 1, 'n') + ".jpg";
    // Files that exist, so only the length decides: folder + "/" + name of
    // exactly 259 characters is built, one of 260 is not.
    auto name_for_path_of = [&](size_t length) {
        return std::string(length - dir.path().size() - 1 - 4, 'm') + ".jpg";
    };
    const std::string fits = name_for_path_of(kMaxPath - 1);
    const std::string one_over = name_for_path_of(kMaxPath);
    ASSERT_LE(one_over.size(), 255u) << "the temporary folder's path is too short";
    dir.write(fits, "x");
    dir.write(one_over, "x");
    ASSERT_EQ(dir.file(fits).size(), kMaxPath - 1);
    struct Case {
        Names names;
        int built;
        const char* reason;
    };
    const Case kCases[] = {
        {{"a.jpg", "gone.jpg", "c.jpg"}, 1, "a file vanished after the scan"},
        {{"a.jpg", "d.jpg", "c.jpg"}, 1, "the file became a folder"},
        {{"gone.jpg", "a.jpg"}, 0, "the first file is missing"},
        {{"a.jpg", long_name, "c.jpg"}, 1, "the full path would exceed 259 characters"},
        {{"a.jpg", fits, "c.jpg"}, 3, "a full path of exactly 259 characters is built"},
        {{"a.jpg", one_over, "c.jpg"}, 1, "an existing file whose full path has 260 characters"},
        {{"a.jpg", "c.jpg"}, 2, "every file readable"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.reason);
        Fixture f;
        Listing listing(dir.path(), c.names);  // no disk names: the names are the disk names
        f.hub.Send(MSG_FOLDER_LISTED, &listing.record);
        EXPECT_EQ(f.list.Count(), c.built);
        EXPECT_EQ(f.list.SortedCount(), c.built);
        EXPECT_EQ(f.rec.ready, (std::vector<int32_t>{kListFolder}));
        for (int i = 0; i < c.built; ++i) ASSERT_NE(f.list.EntryAt(i), nullptr);
        EXPECT_EQ(f.list.EntryAt(c.built), nullptr);
    }
}

TEST(FolderList, RecordsOfAnotherKindAreIgnored) {
    TempDir dir;
    dir.write("a.jpg", "x");
    Fixture f;
    f.scan(dir);
    ASSERT_EQ(f.rec.ready.size(), 1u);

    Listing wrong(dir.path(), {"zzz.jpg"});
    wrong.record.magic = 0x12345678;
    f.hub.Send(MSG_FOLDER_LISTED, &wrong.record);
    f.hub.Send(MSG_FOLDER_LISTED, nullptr);
    Listing negative(dir.path(), {});
    negative.record.count = -4;
    f.hub.Send(MSG_FOLDER_LISTED, &negative.record);
    Listing missing(dir.path(), {"a.jpg"});
    missing.record.names = nullptr;
    f.hub.Send(MSG_FOLDER_LISTED, &missing.record);

    EXPECT_EQ(f.rec.ready.size(), 1u);
    EXPECT_EQ(f.names(), (Names{"a.jpg"}));

    // Before any listing, a wrong record only marks the list present.
    Fixture fresh;
    fresh.hub.Send(MSG_FOLDER_LISTED, &wrong.record);
    EXPECT_EQ(fresh.list.Mode(), 1);
    EXPECT_EQ(fresh.list.Count(), 0);
    EXPECT_EQ(fresh.list.SortedCount(), 0);
    EXPECT_TRUE(fresh.rec.ready.empty());
}

TEST(FolderList, UnregistersWhenDestroyed) {
    MessageHub hub;
    {
        FolderList list(&hub);
        EXPECT_EQ(hub.registered(), 1);
        EXPECT_NE(hub.slot(0), nullptr);
    }
    EXPECT_EQ(hub.registered(), 0);
    TempDir dir;
    dir.write("a.jpg", "x");
    EXPECT_EQ(ScanFolder(dir.path().c_str(), &hub), ScanOutcome::kListed);
}

}  // namespace
}  // namespace lorvex
