// Line buffer and whole-file I/O: reading, part reading, editing, writers through a rename.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fileaccess/korFileIO.h"
#include "fileaccess/korTF.h"
#include "filesTestUtil.h"

TEST(FilesIO, ExistsPeekAndParts) {
  TFilesTmpDir d;
  EXPECT_FALSE(DoesFileExist(d.Dir()));
  EXPECT_FALSE(DoesFileExist(d.Path("none")));
  auto p5 = d.Write("five", "12345");
  EXPECT_TRUE(DoesFileExist(p5));
  EXPECT_EQ(PeekFileStart(p5, 77), 77u);
  auto p8 = d.Write("eight", std::string("\x1f\x8b\x08\x04\0\0\0\0", 8));
  EXPECT_EQ(PeekFileStart(p8, 0), 0x04088b1fu);
  std::string out;
  uint64_t got, after;
  EXPECT_EQ(ReadFilePart(p5, out, got, after, 5, 10), 0);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(after, 0u);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(ReadFilePart(p5, out, got, after, 1, 2), 0);
  EXPECT_EQ(out, "23");
  EXPECT_EQ(after, 2u);
  EXPECT_NE(ReadFilePart(d.Path("none"), out, got, after, 0, 2), 0);
  uint64_t sz;
  EXPECT_EQ(ReadFile(p5, out, sz), 0);
  EXPECT_EQ(out, "12345");
  std::vector<std::string> lines;
  EXPECT_EQ(ReadTextFile(d.Write("mix", "a\r\nb\nc\rd\r\n"), lines), 0);
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST(FilesIO, WritersCreateReplaceAppend) {
  TFilesTmpDir d;
  auto p = d.Path("w.txt");
  EXPECT_EQ(WriteFileDataStr(p, {"a", "b"}, "\r\n", cFioAppend), 0);  // missing: created
  EXPECT_EQ(FilesSlurp(p), "a\r\nb\r\n");
  EXPECT_EQ(WriteFileDataStr(p, {"c"}, "\n", cFioAppend), 0);
  EXPECT_EQ(FilesSlurp(p), "a\r\nb\r\nc\n");
  EXPECT_EQ(WriteFileDataStr(p, {"z"}, "", 0), 0);  // replaced
  EXPECT_EQ(FilesSlurp(p), "z");
  EXPECT_EQ(WriteFileDataItem(p, "xyz", 3, cFioAppend), 0);
  EXPECT_EQ(FilesSlurp(p), "zxyz");
  EXPECT_EQ(WriteFileDataEx(p, {"s1", "s2"}, {{"B", 1}}, ",", ";", 0, false), cFioBadArgs);
  EXPECT_EQ(WriteFileDataEx(p, {"s1", "s2"}, {{"B", 1}, {"C", 1}}, ",", ";", 0, false), 0);
  EXPECT_EQ(FilesSlurp(p), "s1,B;s2,C;");
  EXPECT_NE(WriteFileDataStr(d.Path("no/dir/x"), {"a"}, "", 0), 0);
  // No temporary files are left behind.
  int n = 0;
  for (auto& e : std::filesystem::directory_iterator(d.Dir())) n += e.path() != p;
  EXPECT_EQ(n, 0);
}

TEST(FilesIO, WriterNeverTruncatesAMappedFile) {
  TFilesTmpDir d;
  auto p = d.Write("mapped.txt", std::string(100000, 'm'));
  int fd = open(p.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  void* m = mmap(nullptr, 100000, PROT_READ, MAP_SHARED, fd, 0);
  ASSERT_NE(m, MAP_FAILED);
  EXPECT_EQ(WriteFileDataStr(p, {"short"}, "", 0), 0);
  // Touching the last page of the old mapping would raise SIGBUS after a truncation.
  EXPECT_EQ(static_cast<const char*>(m)[99999], 'm');
  munmap(m, 100000);
  close(fd);
  EXPECT_EQ(FilesSlurp(p), "short");
}

TEST(FilesIO, ReadOnlyFolderReportsError) {
  if (geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
  TFilesTmpDir d;
  auto sub = d.Path("ro");
  mkdir(sub.c_str(), 0555);
  EXPECT_NE(WriteFileDataStr(sub + "/x", {"a"}, "", 0), 0);
}

TEST(FilesTF, ReadByLineAndBlock) {
  TFilesTmpDir d;
  auto p = d.Write("lf", "one\ntwo\n");
  Ttf t;
  EXPECT_EQ(t.ReadInFile(p), 0);
  EXPECT_EQ(t.Contents(), (Ttf::TAStr{"one", "two"}));
  EXPECT_EQ(t.ReadInFileByBlock(p), 0);
  EXPECT_EQ(t.Contents(), (Ttf::TAStr{"one", "two", ""}));  // one empty last line
  EXPECT_EQ(t.ReadInFileByBlock(d.Write("one", "single\n")), 0);
  EXPECT_EQ(t.Contents(), (Ttf::TAStr{"single", ""}));
  EXPECT_NE(t.ReadInFile(d.Path("none")), 0);
  EXPECT_EQ(t.Len(), 2u);  // kept
  EXPECT_TRUE(Ttf::ReadFile2Astr(d.Path("none")).empty());
  EXPECT_EQ(Ttf::ReadFile2Astr(p), (Ttf::TAStr{"one", "two"}));
}

TEST(FilesTF, PartsJoinCutLines) {
  TFilesTmpDir d;
  std::string text = "alpha\r\nbravo\r\ncharlie\r\ndelta";
  auto p = d.Write("parts", text);
  for (uint64_t part = 1; part <= text.size() + 1; ++part) {
    Ttf t;
    t.SetMaxFileReadSize(part);
    int guard = 0;
    do {
      ASSERT_EQ(t.ReadInNextFilePart(p, true), 0);
    } while (t.UnreadFileChunk(p) && ++guard < 1000);
    EXPECT_EQ(t.Contents(), (Ttf::TAStr{"alpha", "bravo", "charlie", "delta"})) << part;
  }
}

TEST(FilesTF, WriteAndEdit) {
  TFilesTmpDir d;
  auto p = d.Path("out.txt");
  EXPECT_EQ(Ttf::WriteAStr2File({}, p), 0);
  EXPECT_TRUE(DoesFileExist(p));
  EXPECT_EQ(FilesSlurp(p), "");
  EXPECT_EQ(Ttf::WriteAStr2File({"a", "b"}, p), 0);
  EXPECT_EQ(Ttf::WriteAStr2File({"c"}, p, true), 0);
  EXPECT_EQ(FilesSlurp(p), "a\r\nb\r\nc\r\n");
  Ttf t;
  t.AddLn("x");
  t.AddEL(1);
  t.AddLn("y");
  EXPECT_EQ(t.RemoveEmptyContentsLines(), 1u);
  EXPECT_EQ(t.Len(), 2u);
  t.SetContents({"0", "1", "2", "3", "4", "5"});
  Ttf::TAStr r;
  t.CopyContentsLines2AStr(5, 2, r, true);
  EXPECT_EQ(r, (Ttf::TAStr{"5", "4", "3", "2"}));
  t.CopyContentsLines2AStr(1, 3, r, false);
  EXPECT_EQ(r, (Ttf::TAStr{"2"}));
  t.CopyContentsLines2AStr(1, 2, r, false);
  EXPECT_TRUE(r.empty());
  t.SetLine(99, "ignored");
  t.InsertContentsLine(1, "ins");
  EXPECT_EQ(t.GetLine(1), "ins");
  t.RemoveContentsLines(0, 2);
  EXPECT_EQ(t.GetLine(0), "1");
  t.SetContents({"a;b;;c"});
  t.BreakContentsLines(';', true);
  EXPECT_EQ(t.Contents(), (Ttf::TAStr{"a;", "b;", ";", "c"}));
  t.SetContents({"a..b", "", "c.d"});
  t.ReplaceContentsChars('-', ".", true);
  EXPECT_EQ(t.Contents(), (Ttf::TAStr{"a-b", "", "c-d"}));
  uint64_t line = 1, pos = 0;
  EXPECT_TRUE(t.ScanContents("-d", line, pos));
  EXPECT_EQ(line, 2u);
  EXPECT_EQ(pos, 2u);
  EXPECT_EQ(t.ContentsAsString("|"), "a-b||c-d|");
  t.SetOutputLineBrk("\n");
  EXPECT_EQ(t.ApplyAndWriteDirect(
                p, [](const std::string& s) { return s + "!"; }, false, 0, 1),
            0);
  EXPECT_EQ(FilesSlurp(p), "a-b!\n!\n");
  EXPECT_EQ(t.WriteOutFile(p, true), 0);
  EXPECT_EQ(FilesSlurp(p), "a-b!\n!\na-b\n\nc-d\n");
}
