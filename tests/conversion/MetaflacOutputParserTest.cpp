#include "conversion/MetaflacOutputParser.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {
const QByteArray kStream = "44100\n2\n16\n0123456789abcdef0123456789abcdef\n";
}

TEST(MetaflacOutputParser, StoresTagsByTheirOwnNames) {
    QStringList extra;
    const QVariantMap all = MetaflacOutputParser::parse(
        kStream + "ARTIST=Artist\nTITLE=Title\nALBUM=Album\nDATE=2001\nTRACKNUMBER=3/12\n"
                  "GENRE=Jazz\nDISCNUMBER=1\n",
        &extra);
    EXPECT_EQ(all.value("sample-rate").toString(), "44100");
    EXPECT_EQ(all.value("channels").toString(), "2");
    EXPECT_EQ(all.value("bps").toString(), "16");
    EXPECT_EQ(all.value("md5sum").toString(), "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(all.value("artist").toString(), "Artist");
    EXPECT_EQ(all.value("tracknumber").toString(), "3/12") << "stored as printed";
    EXPECT_EQ(all.value("discnumber").toString(), "1");
    EXPECT_EQ(all.size(), 11);
    EXPECT_TRUE(extra.isEmpty());

    // No artist: nothing shifts onto the wrong name.
    const QVariantMap missing =
        MetaflacOutputParser::parse(kStream + "TITLE=Artistry in Rhythm\nALBUM=Untitled\n");
    EXPECT_FALSE(missing.contains("artist"));
    EXPECT_EQ(missing.value("title").toString(), "Artistry in Rhythm");
    EXPECT_EQ(missing.value("album").toString(), "Untitled");
}

TEST(MetaflacOutputParser, RepeatedTagsAndLineBreaks) {
    QStringList extra;
    const QVariantMap parsed = MetaflacOutputParser::parse(
        kStream + "ARTIST=First\nARTIST=Second\nTITLE=two\nlines\nand a=sign\nALBUM=x=y\n", &extra);
    EXPECT_EQ(parsed.value("artist").toString(), "Second") << "the last value wins";
    EXPECT_EQ(extra, QStringList{"ARTIST=Second"});
    EXPECT_EQ(parsed.value("title").toString(), "two\nlines\nand a=sign");
    EXPECT_EQ(parsed.value("album").toString(), "x=y");

    EXPECT_EQ(MetaflacOutputParser::parse("").value("sample-rate").toString(), "");
    const QVariantMap garbage = MetaflacOutputParser::parse("\xff\xfe\n=\n\n=x\nnoise");
    EXPECT_EQ(garbage.size(), 4) << "only the stream lines, nothing else";
}
