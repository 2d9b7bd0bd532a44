// Stat values as text: formatting, parsing with its rounding, hostile input,
// a seeded random comparison against a reference, and the process locale.

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <cstdlib>
#include <random>

#include "level_tables.h"

using namespace thornwake;

namespace {

// The reference: decimal text as sign, whole digits and fraction digits,
// rounded half to even by looking at the digits alone. Returns nothing for
// text that is not a plain decimal number or that lies outside [lo, hi].
std::optional<long> ReferenceParse(const std::string& text, long lo, long hi) {
    std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return std::nullopt;
    std::size_t end = text.find_last_not_of(" \t") + 1;
    std::string number = text.substr(begin, end - begin);

    bool negative = false;
    if (number[0] == '+' || number[0] == '-') {
        negative = number[0] == '-';
        number.erase(0, 1);
    }
    const std::size_t point = number.find('.');
    std::string whole = number.substr(0, point);
    std::string fraction = point == std::string::npos ? "" : number.substr(point + 1);
    if (whole.empty() && fraction.empty()) return std::nullopt;
    for (const std::string* part : {&whole, &fraction}) {
        for (char c : *part) {
            if (c < '0' || c > '9') return std::nullopt;
        }
    }
    whole.erase(0, whole.find_first_not_of('0') == std::string::npos ? whole.size()
                                                                         : whole.find_first_not_of('0'));
    if (whole.size() > 9) return std::nullopt;  // beyond every range, rounding included
    long magnitude = whole.empty() ? 0 : std::stol(whole);

    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    // As decimal fractions without trailing zeros, digit strings order like words.
    const int againstHalf = fraction.empty() ? -1 : fraction.compare("5");
    if (againstHalf > 0 || (againstHalf == 0 && magnitude % 2 == 1)) ++magnitude;

    const long value = negative ? -magnitude : magnitude;
    if (value < lo || value > hi) return std::nullopt;
    return value;
}

std::optional<long> Widen(std::optional<std::int16_t> v) { return v ? std::optional<long>(*v) : std::nullopt; }
std::optional<long> Widen(std::optional<std::uint8_t> v) { return v ? std::optional<long>(*v) : std::nullopt; }
std::optional<long> Widen(std::optional<int> v) { return v ? std::optional<long>(*v) : std::nullopt; }

QByteArray Show(std::optional<long> v) { return v ? QByteArray::number(static_cast<qlonglong>(*v)) : "failure"; }

// Random texts near the edges of the grammar and the ranges.
class TextMaker {
public:
    explicit TextMaker(std::uint32_t seed) : engine_(seed) {}

    std::string Next() {
        std::string text = Blanks();
        switch (Pick(8)) {
            case 0: text += "-"; break;
            case 1: text += "+"; break;
            case 2: text += Pick(2) ? "--" : "+-"; break;
            default: break;
        }
        text += Whole();
        if (Pick(3)) {
            text += '.';
            const int digits = Pick(5) == 0 ? 20 + Pick(30) : Pick(5);
            for (int i = 0; i < digits; ++i) text += FractionDigit();
        }
        text += Blanks();
        if (Pick(6) == 0) {
            static const char junk[] = "eE,x_ .+-a\t0\xC2\xA0";
            text.insert(static_cast<std::size_t>(Pick(static_cast<int>(text.size()) + 1)), 1,
                        junk[Pick(sizeof junk - 1)]);
        }
        return text;
    }

private:
    int Pick(int n) { return static_cast<int>(engine_() % static_cast<std::uint32_t>(n)); }

    std::string Blanks() {
        if (Pick(3)) return "";
        return std::string(static_cast<std::size_t>(1 + Pick(3)), Pick(4) ? ' ' : '\t');
    }

    std::string Whole() {
        static const long edges[] = {0, 1, 2, 3, 254, 255, 256, 32766, 32767, 32768, 32769, 65535, 65536, 99999, 999999, 1000000};
        std::string zeros(static_cast<std::size_t>(Pick(6) == 0 ? Pick(25) : 0), '0');
        switch (Pick(5)) {
            case 0: return zeros;  // maybe nothing before the point
            case 1: return zeros + std::to_string(Pick(300));
            case 2: return zeros + std::to_string(edges[Pick(sizeof edges / sizeof edges[0])]);
            case 3: {
                std::string digits;
                const int n = 1 + Pick(Pick(4) == 0 ? 40 : 7);
                for (int i = 0; i < n; ++i) digits += static_cast<char>('0' + Pick(10));
                return zeros + digits;
            }
            default: return zeros + std::to_string(Pick(33000));
        }
    }

    char FractionDigit() {
        static const char likely[] = "0000955549";
        return Pick(2) ? likely[Pick(10)] : static_cast<char>('0' + Pick(10));
    }

    std::mt19937 engine_;
};

}  // namespace

class StatTextTest : public QObject {
    Q_OBJECT

private slots:
    void formatEveryValue();
    void parseCases_data();
    void parseCases();
    void randomTextsAgreeWithTheReference();
    void parsingIgnoresTheProcessLocale();
};

void StatTextTest::formatEveryValue() {
    for (int v = -32768; v <= 32767; ++v) {
        const auto hp = static_cast<std::int16_t>(v);
        const std::string text = FormatHP(hp);
        if (text != QByteArray::number(v).toStdString()) QFAIL(("FormatHP gave " + text).c_str());
        if (ParseHP(text) != std::optional<std::int16_t>(hp)) QFAIL(("ParseHP failed on " + text).c_str());
    }
    for (int v = 0; v <= 255; ++v) {
        const auto stat = static_cast<std::uint8_t>(v);
        const std::string text = FormatStat(stat);
        QCOMPARE(QByteArray::fromStdString(text), QByteArray::number(v));
        QCOMPARE(ParseStat(text), std::optional<std::uint8_t>(stat));
    }
}

void StatTextTest::parseCases_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("hp");    // expected result, or "x" for a failure
    QTest::addColumn<QString>("stat");

    auto row = [](const char* name, QByteArray text, const char* hp, const char* stat) {
        QTest::newRow(name) << text << QString(hp) << QString(stat);
    };
    row("255", "255", "255", "255");
    row("256", "256", "256", "x");
    row("-1", "-1", "-1", "x");
    row("empty", "", "x", "x");
    row("blanks around 7", "  7  ", "7", "7");
    row("12abc", "12abc", "x", "x");
    row("-32768", "-32768", "-32768", "x");
    row("32768", "32768", "x", "x");
    row("-32769", "-32769", "x", "x");
    row("2.5 to even", "2.5", "2", "2");
    row("3.5 to even", "3.5", "4", "4");
    row("-2.5 to even", "-2.5", "-2", "x");
    row("-3.5 to even", "-3.5", "-4", "x");
    row("2.51 up", "2.51", "3", "3");
    row("2.49 down", "2.49", "2", "2");
    row("plus sign", "+12", "12", "12");
    row("255.5 rounds out of range", "255.5", "256", "x");
    row("254.5 stays", "254.5", "254", "254");
    row("32767.5 rounds out", "32767.5", "x", "x");
    row("-32768.5 rounds to even", "-32768.5", "-32768", "x");
    row("-0.4 is zero", "-0.4", "0", "0");
    row("long fraction just above half", "2.5000000000000000001", "3", "3");
    row("long fraction just below half", "255.49999999999999999", "255", "255");
    row("many leading zeros", QByteArray(400, '0') + "42", "42", "42");
    row("very long number", "1" + QByteArray(400, '0'), "x", "x");
    row("very long fraction", "7." + QByteArray(5000, '4'), "7", "7");
    row("exponent", "1e2", "x", "x");
    row("capital exponent", "1E2", "x", "x");
    row("hex", "0x10", "x", "x");
    row("grouping", "1,000", "x", "x");
    row("decimal comma", "2,5", "x", "x");
    row("inner blank", "1 000", "x", "x");
    row("blank after sign", "- 5", "x", "x");
    row("two signs", "--5", "x", "x");
    row("sign only", "-", "x", "x");
    row("point only", ".", "x", "x");
    row("sign and point", "+.", "x", "x");
    row("two points", "1.2.3", "x", "x");
    row("trailing sign", "5-", "x", "x");
    row("infinity", "inf", "x", "x");
    row("not a number", "nan", "x", "x");
    row("letters", "abc", "x", "x");
    row("embedded NUL", QByteArray("7\0" "1", 3), "x", "x");
    row("full-width digits", "\xEF\xBC\x97", "x", "x");
    row("Arabic-Indic digits", "\xD9\xA7", "x", "x");
    row("no-break space", "\xC2\xA0" "7", "x", "x");
    row("64-bit wrap", "18446744073709551617", "x", "x");
    row("32-bit wrap", "4294967297", "x", "x");
    row("16-bit wrap", "65537", "x", "x");
    row("8-bit wrap", "-256", "-256", "x");
}

void StatTextTest::parseCases() {
    QFETCH(QByteArray, text);
    QFETCH(QString, hp);
    QFETCH(QString, stat);
    const std::string_view view(text.constData(), static_cast<std::size_t>(text.size()));
    const auto expect = [](const QString& s) {
        return s == "x" ? std::optional<long>() : std::optional<long>(s.toLong());
    };
    QCOMPARE(Show(Widen(ParseHP(view))), Show(expect(hp)));
    QCOMPARE(Show(Widen(ParseStat(view))), Show(expect(stat)));
    QCOMPARE(Show(Widen(ParseField(StatField::HP, view))), Show(expect(hp)));
    QCOMPARE(Show(Widen(ParseField(StatField::WIS, view))), Show(expect(stat)));
    // The reference used below agrees with the table.
    QCOMPARE(Show(ReferenceParse(text.toStdString(), -32768, 32767)), Show(expect(hp)));
}

void StatTextTest::randomTextsAgreeWithTheReference() {
    TextMaker maker(20240611);
    int failures = 0;
    int numbers = 0;
    int stats = 0;
    const int cases = 300000;
    for (int i = 0; i < cases && failures < 10; ++i) {
        const std::string text = maker.Next();
        const auto hp = Widen(ParseHP(text));
        const auto stat = Widen(ParseStat(text));
        const auto wantHp = ReferenceParse(text, -32768, 32767);
        const auto wantStat = ReferenceParse(text, 0, 255);
        numbers += wantHp.has_value();
        stats += wantStat.has_value();
        if (hp != wantHp || stat != wantStat) {
            ++failures;
            qWarning("\"%s\": HP %s (want %s), stat %s (want %s)", text.c_str(), Show(hp).constData(),
                     Show(wantHp).constData(), Show(stat).constData(), Show(wantStat).constData());
        }
    }
    QCOMPARE(failures, 0);
    // The texts are not mostly junk: many are numbers, and many of those stats.
    QVERIFY2(numbers > cases / 4 && stats > cases / 10,
             qPrintable(QString("%1 numbers, %2 stats").arg(numbers).arg(stats)));
}

// Under a German locale strtod stops at the "." of "2.75"; the parsers must not.
void StatTextTest::parsingIgnoresTheProcessLocale() {
    QTemporaryDir localeDir;
    const char* const german = "de_DE.UTF-8";
    if (!std::setlocale(LC_ALL, german)) {
        // Build the locale in a scratch folder when the system has its sources.
        const int built = QProcess::execute("localedef", {"-i", "de_DE", "-f", "UTF-8",
                                                          localeDir.filePath(german)});
        if (built == 0) qputenv("LOCPATH", localeDir.path().toLocal8Bit());
        if (built != 0 || !std::setlocale(LC_ALL, german)) {
            qunsetenv("LOCPATH");
            QSKIP("no German locale here (Debian package: locales)");
        }
    }
    const double seenByStrtod = std::strtod("2.75", nullptr);
    const auto hp = ParseHP("2.75");
    const auto stat = ParseStat(" 3.5 ");
    const auto comma = ParseHP("2,75");
    std::setlocale(LC_ALL, "C");
    qunsetenv("LOCPATH");

    QCOMPARE(seenByStrtod, 2.0);  // the locale really is in effect
    QCOMPARE(hp, std::optional<std::int16_t>(3));
    QCOMPARE(stat, std::optional<std::uint8_t>(4));
    QVERIFY(!comma);
}

QTEST_GUILESS_MAIN(StatTextTest)
#include "tst_stat_text.moc"
