// Conversion between the active code page and the widgets' Unicode.
#include "tool/qt/text_codec.h"

#include <QtTest>
#include <string>

#include "text/text.h"
#include "tests/tool/qt/code_page_bytes.h"

namespace morvane {

class TextCodecTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { SetActiveCodePage(kCodePage932); }

  void decodes_data() {
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    auto bytes = [](const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); };
    QTest::newRow("ascii") << kCodePage932 << QByteArray("abc [x]") << QStringLiteral("abc [x]");
    QTest::newRow("double-byte") << kCodePage932 << bytes(Sjis("あいう漢字")) << QStringLiteral("あいう漢字");
    QTest::newRow("half-width kana") << kCodePage932 << bytes(Sjis("ｱｲｳ")) << QStringLiteral("ｱｲｳ");
    QTest::newRow("trail byte 0x5C") << kCodePage932 << bytes(Sjis("表示")) << QStringLiteral("表示");
    QTest::newRow("backslash") << kCodePage932 << QByteArray("a\\b") << QStringLiteral("a\\b");
    QTest::newRow("unassigned pair, one replacement")
        << kCodePage932 << QByteArray("\x85\x40x") << QStringLiteral("\uFFFDx");
    QTest::newRow("lead before line end keeps the line end")
        << kCodePage932 << QByteArray("\x82\na") << QStringLiteral("\uFFFD\na");
    QTest::newRow("lone lead at the end")
        << kCodePage932 << QByteArray("ab\x82") << QStringLiteral("ab\uFFFD");
    QTest::newRow("undecodable single byte")
        << kCodePage932 << QByteArray("\x80z\x80") << QStringLiteral("\uFFFDz\uFFFD");
    QTest::newRow("text after a bad byte survives")
        << kCodePage932 << (QByteArray("\x80") + bytes(Sjis("続き"))) << QStringLiteral("\uFFFD続き");
    QTest::newRow("none reads utf-8") << kCodePageNone << QByteArray("あ") << QStringLiteral("あ");
    QTest::newRow("none, bad byte") << kCodePageNone
                                    << QByteArray(
                                           "\xff"
                                           "a")
                                    << QStringLiteral("\uFFFDa");
    QTest::newRow("utf-8") << kCodePageUtf8 << QByteArray("あ😀") << QStringLiteral("あ😀");
    QTest::newRow("utf-8, a cut-off sequence is a character a byte")
        << kCodePageUtf8 << QByteArray("\xE3\x81|") << QStringLiteral("\uFFFD\uFFFD|");
    QTest::newRow("utf-8, bad byte") << kCodePageUtf8
                                     << QByteArray(
                                            "\xff"
                                            "a")
                                     << QStringLiteral("\uFFFDa");
  }
  void decodes() {
    QFETCH(int, codePage);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QVERIFY(SetActiveCodePage(codePage));
    QCOMPARE(DecodeBytes(bytes.constData(), static_cast<size_t>(bytes.size())), expected);
  }

  void decodeTextStopsAtNul() {
    QVERIFY(SetActiveCodePage(kCodePage932));
    const char text[] = "ab\0cd";
    QCOMPARE(DecodeText(text), QStringLiteral("ab"));
  }

  void decodesAWholeBufferOfDoubleByteText() {
    QVERIFY(SetActiveCodePage(kCodePage932));
    std::string unit = Sjis("漢");
    std::string text;
    while (text.size() + unit.size() <= kTextBufferSize - 1) text += unit;
    QString decoded = DecodeText(text.c_str());
    QCOMPARE(decoded.size(), static_cast<qsizetype>(text.size() / 2));
    QVERIFY(!decoded.contains(QChar(0xFFFD)));
  }

  void encodes_data() {
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("ascii") << kCodePage932 << QStringLiteral("/tmp/a.txt") << true
                           << QByteArray("/tmp/a.txt");
    QTest::newRow("japanese") << kCodePage932 << QStringLiteral("/tmp/表示.txt") << true
                              << QByteArray::fromStdString("/tmp/" + Sjis("表示") + ".txt");
    QTest::newRow("no form in 932") << kCodePage932 << QStringLiteral("/tmp/é.txt") << false << QByteArray();
    QTest::newRow("outside the BMP") << kCodePage932 << QStringLiteral("a\U0001F600") << false
                                     << QByteArray();
    QTest::newRow("embedded NUL") << kCodePage932
                                  << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b")) << false
                                  << QByteArray();
    QTest::newRow("none") << kCodePageNone << QStringLiteral("é") << true << QByteArray("é");
    QTest::newRow("utf-8") << kCodePageUtf8 << QStringLiteral("/tmp/表示😀.txt") << true
                           << QByteArray("/tmp/表示😀.txt");
    QTest::newRow("utf-8, embedded NUL")
        << kCodePageUtf8 << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b")) << false
        << QByteArray();
  }
  void encodes() {
    QFETCH(int, codePage);
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QByteArray, expected);
    QVERIFY(SetActiveCodePage(codePage));
    std::string bytes;
    QCOMPARE(EncodeText(text, &bytes) != 0, ok);
    if (ok) QCOMPARE(QByteArray::fromStdString(bytes), expected);
  }

  void encodedLength_data() {
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bytes");
    QTest::newRow("ascii") << kCodePage932 << QStringLiteral("/tmp/a.txt") << 10;
    QTest::newRow("932, two bytes a kanji") << kCodePage932 << QStringLiteral("/表示") << 5;
    QTest::newRow("932, half-width kana one byte") << kCodePage932 << QStringLiteral("ｱｲ") << 2;
    QTest::newRow("932, no form there: its utf-8 bytes") << kCodePage932 << QStringLiteral("é表") << 5;
    QTest::newRow("utf-8, three bytes a kanji") << kCodePageUtf8 << QStringLiteral("/表示") << 7;
    QTest::newRow("utf-8, half-width kana three bytes") << kCodePageUtf8 << QStringLiteral("ｱ") << 3;
    QTest::newRow("utf-8, outside the BMP") << kCodePageUtf8 << QStringLiteral("😀") << 4;
    QTest::newRow("none counts utf-8") << kCodePageNone << QStringLiteral("é") << 2;
  }
  void encodedLength() {
    QFETCH(int, codePage);
    QFETCH(QString, text);
    QFETCH(int, bytes);
    QVERIFY(SetActiveCodePage(codePage));
    QCOMPARE(EncodedLength(text), static_cast<size_t>(bytes));
  }
};

}  // namespace morvane

QTEST_GUILESS_MAIN(morvane::TextCodecTest)
#include "text_codec_test.moc"
