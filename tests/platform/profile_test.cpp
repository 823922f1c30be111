#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "support/native_profile.h"
#include "support/temp_folder.h"
#include "util/paths.h"

namespace bb {
namespace {

using namespace std::literals;

// These run against the profile of the platform: in the Windows build the
// system's own functions, which are the reference, and natively our own
// implementation, which has to give the same answers.

constexpr std::string_view kDefault = "<default>";
constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Windows edits a profile in place; Wine rewrites the whole file from what it
// parsed, without blank lines and spacing.
bool RewritesWholeFile() {
#if defined(_WIN32)
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
#else
  return false;
#endif
}

// Our own reader refuses files beyond a size; the Windows functions have no such limit.
template <typename ProfileType>
constexpr std::optional<std::uintmax_t> FileSizeLimit() {
  if constexpr (requires { ProfileType::kMaxFileBytes; }) {
    return ProfileType::kMaxFileBytes;
  } else {
    return std::nullopt;
  }
}

class ProfileTest : public ::testing::Test {
 protected:
  // Every case gets a file of its own: Wine keeps the files it has read in a
  // cache, and a file rewritten within the same clock tick would look unchanged.
  std::string NewFile(std::string_view content) {
    return folder_.Write("case" + std::to_string(files_++) + ".ini", content);
  }

  static std::string Contents(const std::string& path) {
    std::ifstream in(FsPath(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::string Read(const std::string& path, std::string_view section, std::string_view key,
                   std::size_t capacity = kMaxPath) {
    return profile_.ReadString(path, section, key, kDefault, capacity);
  }

  test::TempFolder folder_;
  test::NativeProfile profile_;
  int files_ = 0;
};

// Reading text

TEST_F(ProfileTest, NamesMatchWithoutRegardToAsciiCaseOrTheBlanksAroundThem) {
  const std::string path =
      NewFile("  [ DevNo ]  \r\n\tChipID \t= \t10 \t\r\n[2860]\r\nFwFile = a b c \x1a\r\n");
  EXPECT_EQ(Read(path, "devno", "CHIPID"), "10");
  EXPECT_EQ(Read(path, " DevNo\t", "\tchipid "), "10");
  EXPECT_EQ(profile_.ReadInt(path, "DEVNO", "chipId", -1), 10);
  EXPECT_EQ(Read(path, "2860", "fwfile"), "a b c");
}

TEST_F(ProfileTest, LettersBeyondAsciiMatchOnlyInTheirOwnCase) {
  const std::string path = NewFile(std::string(kBom) + "[\xC3\x84]\r\nk=1\r\n");
  EXPECT_EQ(Read(path, "\xC3\x84", "k"), "1");
  EXPECT_EQ(Read(path, "\xC3\xA4", "k"), kDefault);
}

TEST_F(ProfileTest, OnlyTheFirstSectionAndTheFirstKeyOfANameCount) {
  const std::string path = NewFile("[A]\r\nx=1\r\nx=2\r\n[B]\r\ny=3\r\n[a]\r\nx=4\r\nz=5\r\n");
  EXPECT_EQ(Read(path, "A", "x"), "1");
  EXPECT_EQ(Read(path, "a", "z"), kDefault);
  EXPECT_EQ(Read(path, "B", "y"), "3");
}

TEST_F(ProfileTest, AnEmptyValueIsReadButAKeyWithoutEqualsSignIsNot) {
  const std::string path = NewFile("[A]\r\nx\r\nx=2\r\ny=\r\ny=3\r\nz =   \r\n");
  EXPECT_EQ(Read(path, "A", "x"), kDefault) << "the first line of the key hides the second";
  EXPECT_EQ(Read(path, "A", "y"), "");
  EXPECT_EQ(Read(path, "A", "z"), "");
}

TEST_F(ProfileTest, LinesEndInCrLfLfOrCrAndTheLastMayHaveNoBreak) {
  for (const std::string_view content : {"[A]\r\nx=1\r\ny=2", "[A]\nx=1\ny=2\n", "[A]\rx=1\ry=2",
                                         "\n\r[A]\n\r\n\rx=1\n\ny=2\r\n\r\n"}) {
    SCOPED_TRACE(testing::PrintToString(content));
    const std::string path = NewFile(content);
    EXPECT_EQ(Read(path, "A", "x"), "1");
    EXPECT_EQ(Read(path, "A", "y"), "2");
  }
}

TEST_F(ProfileTest, AUtf8ByteOrderMarkIsSkippedAndTheTextReadAsUtf8) {
  const std::string path = NewFile(std::string(kBom) + "[A]\r\nx=\xE4\xB8\xAD\xE6\x96\x87\r\n");
  EXPECT_EQ(Read(path, "A", "x"), "\xE4\xB8\xAD\xE6\x96\x87");
}

TEST_F(ProfileTest, CommentsAndStrayLinesAreNeitherSectionsNorTheKeysAskedFor) {
  const std::string path =
      NewFile("; [A]\r\n[A\r\nx=9\r\n[A] ; about A\r\n;x=0\r\nstray line\r\nx=1\r\n");
  EXPECT_EQ(Read(path, "A", "x"), "1");
  EXPECT_EQ(Read(path, "", "x"), "9") << "a '[' without ']' starts no section";
  EXPECT_EQ(Read(path, "A", ";x"), "0")
      << "to Windows a comment is a key whose name starts with ';'";
}

TEST_F(ProfileTest, KeysBeforeTheFirstSectionFormTheNamelessSection) {
  const std::string path = NewFile("x=pre\r\n[A]\r\nx=a\r\n[]\r\nx=later\r\n");
  EXPECT_EQ(Read(path, "", "x"), "pre");
  EXPECT_EQ(Read(path, "A", "x"), "a");
}

TEST_F(ProfileTest, ALineSplitsAtItsFirstEqualsSignAndAHeaderEndsAtItsLastBracket) {
  const std::string path = NewFile("[A]x]\r\nk==v\r\nj=a=b\r\n=e\r\n");
  EXPECT_EQ(Read(path, "A]x", "k"), "=v");
  EXPECT_EQ(Read(path, "A]x", "j"), "a=b");
  EXPECT_EQ(Read(path, "A]x", ""), "e");
}

TEST_F(ProfileTest, BlanksAreAsciiWhiteSpaceAndTheDosEndOfFileMark) {
  const std::string path = NewFile("[A]\r\nx=\v\f\x1a v \t\x1a\r\ny=\x1fv\x1f\r\n");
  EXPECT_EQ(Read(path, "A", "x"), "v");
  EXPECT_EQ(Read(path, "A", "y"), "\x1fv\x1f");
}

TEST_F(ProfileTest, MatchingQuotesAroundAValueAreDropped) {
  const struct {
    std::string_view written;
    std::string_view read;
  } kCases[] = {
      {R"("abc")", "abc"},      {"'abc'", "abc"},        {R"("abc')", R"("abc')"},
      {R"("a"b")", R"(a"b)"},   {R"(")", R"(")"},        {R"("")", ""},
      {R"("  a  ")", "  a  "},  {R"(  "abc"  )", "abc"}, {R"(abc")", R"(abc")"},
      {R"(a"b"c)", R"(a"b"c)"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.written);
    const std::string path = NewFile("[A]\r\nx=" + std::string(c.written) + "\r\n");
    EXPECT_EQ(Read(path, "A", "x"), c.read);
  }
}

TEST_F(ProfileTest, AValueIsCutToTheCapacityLessOne) {
  const std::string path = NewFile("[A]\r\nx=abcdef\r\nq=\"abc\"\r\n");
  EXPECT_EQ(Read(path, "A", "x", 7), "abcdef");
  EXPECT_EQ(Read(path, "A", "x", 6), "abcde");
  EXPECT_EQ(Read(path, "A", "x", 4), "abc");
  EXPECT_EQ(Read(path, "A", "x", 1), "");
  EXPECT_EQ(Read(path, "A", "x", 0), "");
  // Windows alone gives "ab" here: it drops the closing quote by shortening the copy.
  EXPECT_EQ(Read(path, "A", "q", 4), "abc");
  EXPECT_EQ(Read(path, "A", "missing", 4), "<de");
}

TEST_F(ProfileTest, ACutNeverSplitsAUtf8Character) {
  const std::string chinese = "\xE4\xB8\xAD";
  const std::string smiley = "\xF0\x9F\x98\x80";
  const std::string path = NewFile(std::string(kBom) + "[A]\r\nx=a" + chinese + "\r\ny=ab" +
                                   smiley + "\r\nz=\"" + chinese + smiley + "\"\r\n");
  EXPECT_EQ(Read(path, "A", "x", 2), "a");
  EXPECT_EQ(Read(path, "A", "x", 4), "a");
  EXPECT_EQ(Read(path, "A", "x", 5), "a" + chinese);
  EXPECT_EQ(Read(path, "A", "y", 3), "ab");
  EXPECT_EQ(Read(path, "A", "y", 6), "ab");
  EXPECT_EQ(Read(path, "A", "y", 7), "ab" + smiley);
  EXPECT_EQ(Read(path, "A", "z", 7), chinese);
  EXPECT_EQ(Read(path, "A", "z", 8), chinese + smiley);
}

TEST_F(ProfileTest, LongValuesAreReadWholeOrCutAtTheCapacity) {
  std::string chinese;
  for (int i = 0; i < 300; ++i) chinese += "\xE4\xB8\xAD";
  const std::string ascii(5000, 'v');
  const std::string path =
      NewFile(std::string(kBom) + "[A]\r\nc=" + chinese + "\r\na=" + ascii + "\r\n");
  EXPECT_EQ(Read(path, "A", "c", kMaxPath), chinese.substr(0, 86 * 3));
  EXPECT_EQ(Read(path, "A", "a", 4097), ascii.substr(0, 4096));
  EXPECT_EQ(Read(path, "A", "a", 5001), ascii);
  EXPECT_EQ(Read(path, "A", "a", std::size_t{1} << 20), ascii);
  EXPECT_EQ(Read(path, "A", "a", std::numeric_limits<std::size_t>::max()), ascii);
}

TEST_F(ProfileTest, TheDefaultComesBackAsGivenWhereverTheValueIsMissing) {
  const std::string path = NewFile("[A]\r\nx=1\r\n");
  const std::string_view padded = "  \"quoted\"  ";
  EXPECT_EQ(profile_.ReadString(path, "A", "y", padded, kMaxPath), padded)
      << "Windows would trim and unquote a default it is given";
  EXPECT_EQ(profile_.ReadString(path, "B", "x", padded, kMaxPath), padded);
  EXPECT_EQ(profile_.ReadString(folder_.File("missing.ini"), "A", "x", padded, kMaxPath), padded);
  EXPECT_EQ(profile_.ReadString(folder_.Text(), "A", "x", padded, kMaxPath), padded)
      << "a folder is no file";
  EXPECT_EQ(profile_.ReadString(folder_.File("no") + kPathSeparator + "x.ini", "A", "x", padded,
                                kMaxPath),
            padded);
  EXPECT_EQ(profile_.ReadString("", "A", "x", padded, kMaxPath), padded);
  EXPECT_EQ(profile_.ReadString(path, "A", "y", "\xE4\xB8\xAD\xE6\x96\x87", 6), "\xE4\xB8\xAD");
}

TEST_F(ProfileTest, ANulByteEndsANameOrAValue) {
  const std::string path = NewFile(
      "[A\0junk]\r\nk\0junk=v\r\nx=ab\0cd\r\ny=ab \0 \r\nn=\0"
      "12\r\n[ B \0 ]\r\nb=1\r\n"s);
  EXPECT_EQ(Read(path, "A", "k"), "v");
  EXPECT_EQ(Read(path, "A", "x"), "ab");
  EXPECT_EQ(Read(path, "A", "y"), "ab ") << "the blanks are dropped before the cut";
  EXPECT_EQ(Read(path, "B", "b"), kDefault) << "the section is named \"B \"";
  EXPECT_EQ(profile_.ReadInt(path, "A", "n", -1), -1) << "a value cut to nothing is empty";
  EXPECT_EQ(Read(path, "A\0zz"s, "x\0y"s), "ab") << "names asked for end at a NUL too";
}

TEST_F(ProfileTest, PathsMayHoldAnyLanguage) {
  const std::string folder = folder_.Text() + kPathSeparator + "\xE9\x85\x8D\xE7\xBD\xAE \xC3\x84";
  std::filesystem::create_directory(FsPath(folder));
  const std::string path = folder + kPathSeparator + "Isp.ini";
  std::ofstream(FsPath(path), std::ios::binary) << "[A]\r\nx=1\r\n";
  EXPECT_EQ(Read(path, "A", "x"), "1");
  EXPECT_TRUE(profile_.WriteString(path, "A", "y", "2"));
  EXPECT_EQ(Contents(path), "[A]\r\nx=1\r\ny=2\r\n");
}

TEST_F(ProfileTest, ARelativePathMeansTheCurrentFolder) {
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder_.Path());
  folder_.Write("relative.ini", "[A]\r\nx=1\r\n");
  const std::string value = Read("relative.ini", "A", "x");
  const bool written = profile_.WriteString("relative.ini", "A", "y", "2");
  std::filesystem::current_path(previous);
  EXPECT_EQ(value, "1");
  EXPECT_TRUE(written);
  EXPECT_EQ(Read(folder_.File("relative.ini"), "A", "y"), "2");
}

// Reading integers

TEST_F(ProfileTest, IntegersAreReadAsWindowsReadsThem) {
  const struct {
    std::string_view written;
    std::int32_t read;
  } kCases[] = {
      {"12", 12},
      {"  12abc", 12},
      {"-5", -5},
      {"+7", 7},
      {"0x1F", 31},
      {"0x1f", 31},
      {"0X1f", 0},
      {"-0x10", -16},
      {"0x", 0},
      {"0xg", 0},
      {"0b101", 5},
      {"0o17", 15},
      {"017", 17},
      {"abc", 0},
      {"-", 0},
      {"+-5", 0},
      {"1 2", 1},
      {"12,5", 12},
      {"\"12\"", 12},
      {"' 12'", 12},
      {"\"", 0},
      {"\x01+12", 12},
      {"2147483647", 2147483647},
      {"2147483648", std::numeric_limits<std::int32_t>::min()},
      {"4294967295", -1},
      {"4294967296", 0},
      {"99999999999", 1215752191},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {"-2147483649", 2147483647},
      {"0xFFFFFFFF", -1},
      {"0x1FFFFFFFF", -1},
      {"65792", 65792},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(c.written));
    const std::string path = NewFile("[A]\r\nx=" + std::string(c.written) + "\r\n");
    EXPECT_EQ(profile_.ReadInt(path, "A", "x", -99), c.read);
  }
}

TEST_F(ProfileTest, AnIntegerTakesTheDefaultOnlyWhenItsValueIsMissingOrEmpty) {
  const std::string path =
      NewFile("[A]\r\nempty=\r\nblank=   \r\nquotes=\"\"\r\nbare\r\ntext=abc\r\n");
  EXPECT_EQ(profile_.ReadInt(path, "A", "empty", 77), 77);
  EXPECT_EQ(profile_.ReadInt(path, "A", "blank", 77), 77);
  EXPECT_EQ(profile_.ReadInt(path, "A", "quotes", 77), 77);
  EXPECT_EQ(profile_.ReadInt(path, "A", "bare", 77), 77);
  EXPECT_EQ(profile_.ReadInt(path, "A", "missing", 77), 77);
  EXPECT_EQ(profile_.ReadInt(path, "B", "text", 77), 77);
  EXPECT_EQ(profile_.ReadInt(path, "A", "text", 77), 0);
  EXPECT_EQ(profile_.ReadInt(folder_.File("missing.ini"), "A", "text", -3), -3);
  EXPECT_EQ(profile_.ReadInt(folder_.Text(), "A", "text", -3), -3);
}

TEST_F(ProfileTest, AnIntegerIsReadFromItsFirst29Characters) {
  const std::string zeros27(27, '0');
  const std::string path = NewFile("[A]\r\nfits=" + zeros27 + "05\r\ncut=" + zeros27 + "005\r\n" +
                                   "qfits=\"" + zeros27 + "5\"\r\nqcut=\"" + zeros27 + "05\"\r\n");
  EXPECT_EQ(profile_.ReadInt(path, "A", "fits", -1), 5);
  EXPECT_EQ(profile_.ReadInt(path, "A", "cut", -1), 0);
  EXPECT_EQ(profile_.ReadInt(path, "A", "qfits", -1), 5);
  EXPECT_EQ(profile_.ReadInt(path, "A", "qcut", -1), 0)
      << "a quoted value that fills the 30 characters loses its last digit";
}

// Writing

TEST_F(ProfileTest, WritingCreatesAMissingFile) {
  const std::string path = folder_.File("new.ini");
  ASSERT_TRUE(profile_.WriteString(path, "2860", "FwFile", " \tC:\\fw.bin"));
  EXPECT_EQ(Contents(path), "[2860]\r\nFwFile=C:\\fw.bin\r\n");
}

TEST_F(ProfileTest, WritingAddsAKeyBehindTheLastLineOfItsSection) {
  const std::string path = NewFile("[A]\r\nx=1\r\n;end of A\r\n[B]\r\ny=2\r\n");
  ASSERT_TRUE(profile_.WriteString(path, "a", "z", "3"));
  EXPECT_EQ(Contents(path), "[A]\r\nx=1\r\n;end of A\r\nz=3\r\n[B]\r\ny=2\r\n");
  const std::string unended = NewFile("[A]\r\nx=1");
  ASSERT_TRUE(profile_.WriteString(unended, "A", "z", "3"));
  EXPECT_EQ(Contents(unended), "[A]\r\nx=1\r\nz=3\r\n");
}

TEST_F(ProfileTest, WritingAddsAMissingSectionAtTheEnd) {
  const std::string path = NewFile("[A]\r\nx=1");
  ASSERT_TRUE(profile_.WriteString(path, "B", "y", "2"));
  EXPECT_EQ(Contents(path), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
}

TEST_F(ProfileTest, WritingReplacesTheFirstKeyOfTheFirstSectionOfItsName) {
  const std::string path = NewFile("[A]\r\nx=1\r\nx=2\r\n[a]\r\nx=3\r\nw=4\r\n");
  ASSERT_TRUE(profile_.WriteString(path, "a", "X", "9"));
  ASSERT_TRUE(profile_.WriteString(path, "a", "w", "5"));
  EXPECT_EQ(Contents(path), "[A]\r\nx=9\r\nx=2\r\nw=5\r\n[a]\r\nx=3\r\nw=4\r\n");
}

TEST_F(ProfileTest, WritingGivesAKeyWithoutEqualsSignItsValue) {
  const std::string path = NewFile("[A]\r\nx\r\n");
  ASSERT_TRUE(profile_.WriteString(path, "A", "x", "3"));
  EXPECT_EQ(Contents(path), "[A]\r\nx=3\r\n");
}

TEST_F(ProfileTest, WritingTheValueAKeyHoldsLeavesTheFileAlone) {
  const std::string content = "[A]\n  x = 1  \n\n";
  const std::string path = NewFile(content);
  ASSERT_TRUE(profile_.WriteString(path, "A", "x", "1"));
  EXPECT_EQ(Contents(path), content);
}

TEST_F(ProfileTest, WrittenValuesReadBackAsTheyWereMeant) {
  const std::string path = folder_.File("written.ini");
  ASSERT_TRUE(profile_.WriteString(path, " 2860 ", " FwFile ", "  C:\\a b\\fw.bin"));
  ASSERT_TRUE(profile_.WriteString(path, "2860", "Quoted", "\"q\""));
  ASSERT_TRUE(profile_.WriteString(path, "2860", "Empty", ""));
  ASSERT_TRUE(profile_.WriteString(path, "", "Top", "t"));
  EXPECT_EQ(Read(path, "2860", "FwFile"), "C:\\a b\\fw.bin");
  EXPECT_EQ(Read(path, "2860", "Quoted"), "q");
  EXPECT_EQ(Read(path, "2860", "Empty"), "");
  EXPECT_EQ(Read(path, "", "Top"), "t");
}

TEST_F(ProfileTest, WritingKeepsAByteOrderMarkAndWritesUtf8BehindIt) {
  const std::string path = NewFile(std::string(kBom) + "[A]\r\nx=1\r\n");
  ASSERT_TRUE(profile_.WriteString(path, "A", "z", "\xE4\xB8\xAD\xE6\x96\x87"));
  EXPECT_EQ(Contents(path), std::string(kBom) + "[A]\r\nx=1\r\nz=\xE4\xB8\xAD\xE6\x96\x87\r\n");
  EXPECT_EQ(Read(path, "A", "z"), "\xE4\xB8\xAD\xE6\x96\x87");
}

TEST_F(ProfileTest, WritesThatWouldChangeOtherLinesAreRefused) {
  const struct {
    std::string_view section;
    std::string_view key;
    std::string_view value;
  } kCases[] = {
      {"A", "x", "a\r\n[DevNo]\r\nChipID=4"},
      {"A", "x", "a\nb"},
      {"A", "x", "a\rb"},
      {"A", "x", "a\0b"sv},
      {"A", "x\0y"sv, "v"},
      {"A\0B"sv, "x", "v"},
      {"A", "x\ny", "v"},
      {"A\nB", "x", "v"},
      {"A", "a=b", "v"},
      {"A", "[x]", "v"},
      {"A", " [x", "v"},
  };
  const std::string content = "[A]\r\nx=1\r\n";
  const std::string path = NewFile(content);
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.section) + "|" + std::string(c.key) + "|" +
                                        std::string(c.value)));
    EXPECT_FALSE(profile_.WriteString(path, c.section, c.key, c.value));
    EXPECT_EQ(Contents(path), content);
  }
}

TEST_F(ProfileTest, WritingFailsWhereNoFileCanBe) {
  const std::string inMissingFolder = folder_.File("no") + kPathSeparator + "x.ini";
  EXPECT_FALSE(profile_.WriteString(inMissingFolder, "A", "x", "1"));
  EXPECT_FALSE(std::filesystem::exists(folder_.Path() / "no"));
  EXPECT_FALSE(profile_.WriteString(folder_.Text(), "A", "x", "1"));
  EXPECT_FALSE(profile_.WriteString("", "A", "x", "1"));
}

TEST_F(ProfileTest, WritingKeepsEveryOtherLineByteForByte) {
  if (RewritesWholeFile()) GTEST_SKIP() << "Wine rewrites the whole file";
  const std::string path =
      NewFile(std::string(kBom) + "; settings\n\n[A]  \n  x = 1  \n;c\n\n\n[B]\ny = \"2\"\t");
  ASSERT_TRUE(profile_.WriteString(path, "A", "z", "3"));
  ASSERT_TRUE(profile_.WriteString(path, "A", "X", "9"));
  ASSERT_TRUE(profile_.WriteString(path, "C", "w", "4"));
  EXPECT_EQ(Contents(path),
            std::string(kBom) +
                "; settings\n\n[A]  \n  x = 9\n;c\nz=3\n\n\n[B]\ny = \"2\"\t\n[C]\nw=4\n");

  // A new line ends like the line before it, so that breaks of mixed files stay apart.
  const std::string mixed = NewFile("[A]\rx=1\n\n[B]\r\ny=2");
  ASSERT_TRUE(profile_.WriteString(mixed, "A", "z", "3"));
  ASSERT_TRUE(profile_.WriteString(mixed, "B", "w", "4"));
  EXPECT_EQ(Contents(mixed), "[A]\rx=1\nz=3\n\n[B]\r\ny=2\rw=4\r");
}

TEST_F(ProfileTest, KeysOfSeveralSectionsAreWrittenTogetherOrNotAtAll) {
  const std::string content = "[A]\r\nx=1\r\n";
  const std::string path = NewFile(content);
  const ProfileEntry refused[] = {{"A", "y", "2"}, {"B", "z", "3\r\n[DevNo]"}};
  std::string why;
  EXPECT_FALSE(profile_.WriteStrings(path, refused, why));
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(Contents(path), content);

  const ProfileEntry entries[] = {{"A", "y", "2"}, {"B", "z", "3"}, {"A", "x", "9"}};
  ASSERT_TRUE(profile_.WriteStrings(path, entries, why)) << why;
  EXPECT_EQ(Contents(path), "[A]\r\nx=9\r\ny=2\r\n[B]\r\nz=3\r\n");
}

// Readings

// A job and the pins of its images belong together: a reading gives its keys
// from one state of the file, or says that it could not.
TEST_F(ProfileTest, AReadingGivesItsKeysFromOneStateOfTheFileOrSaysWhyNot) {
  const std::string path = NewFile("[A]\r\nx=1\r\n");
  const std::unique_ptr<ProfileReading> reading = profile_.Read(path);
  EXPECT_EQ(reading->ReadString("A", "x", kDefault, kMaxPath), "1");
  std::ofstream(FsPath(path), std::ios::binary | std::ios::trunc) << "[A]\r\nx=22\r\ny=3\r\n";
  const std::string y = reading->ReadString("A", "y", kDefault, kMaxPath);
#if defined(_WIN32)
  // The system reads the file again for every key; the reading sees it change.
  EXPECT_EQ(reading->Verdict(), ProfileReading::State::kChanged);
#else
  // Ours reads the file once: every key as the file was when the reading began.
  EXPECT_EQ(y, kDefault);
  EXPECT_EQ(reading->ReadInt("A", "x", -1), 1);
  EXPECT_EQ(reading->Verdict(), ProfileReading::State::kWhole);
#endif

  const std::unique_ptr<ProfileReading> unchanged = profile_.Read(NewFile("[A]\r\nx=22\r\n"));
  EXPECT_EQ(unchanged->ReadInt("A", "x", -1), 22);
  EXPECT_EQ(unchanged->ReadString("A", "y", kDefault, kMaxPath), kDefault);
  EXPECT_EQ(unchanged->Verdict(), ProfileReading::State::kWhole);
  // No file is a file without keys; a folder in its place cannot be read.
  const std::unique_ptr<ProfileReading> missing = profile_.Read(folder_.File("missing.ini"));
  EXPECT_EQ(missing->ReadString("A", "x", kDefault, kMaxPath), kDefault);
  EXPECT_EQ(missing->Verdict(), ProfileReading::State::kWhole);
  const std::unique_ptr<ProfileReading> unreadable = profile_.Read(folder_.Text());
  EXPECT_EQ(unreadable->ReadString("A", "x", kDefault, kMaxPath), kDefault);
  EXPECT_EQ(unreadable->Verdict(), ProfileReading::State::kUnreadable);
}

// Limits

TEST_F(ProfileTest, AFileBeyondTheSizeLimitIsNeitherReadNorWritten) {
  constexpr std::optional<std::uintmax_t> kLimit = FileSizeLimit<test::NativeProfile>();
  if (!kLimit) GTEST_SKIP() << "the platform's own functions have no size limit";
  const std::string head = "[A]\r\nx=1\r\n;";
  const std::string atLimit = NewFile(head + std::string(*kLimit - head.size(), 'p'));
  EXPECT_EQ(Read(atLimit, "A", "x"), "1");
  const std::string content = head + std::string(*kLimit - head.size() + 1, 'p');
  const std::string beyond = NewFile(content);
  EXPECT_EQ(Read(beyond, "A", "x"), kDefault);
  EXPECT_EQ(profile_.ReadInt(beyond, "A", "x", -1), -1);
  EXPECT_FALSE(profile_.WriteString(beyond, "A", "y", "2"));
  EXPECT_EQ(std::filesystem::file_size(FsPath(beyond)), content.size());
}

}  // namespace
}  // namespace bb
