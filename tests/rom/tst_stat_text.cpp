// Stat values as text: formatting, parsing with its rounding, hostile input,
// and a seeded random comparison against a reference. The long fractions
// below fail any parser that goes through a double (strtod, locale-bound).

#include <QTest>

#include <iterator>
#include <random>

#include "level_tables.h"

using namespace thornwake;

namespace {

using Value = std::optional<long>;

// The reference: sign, whole digits and fraction digits, rounded half to even
// by looking at the digits alone. Nothing for text that is not a plain decimal
// number or that lies outside [lo, hi].
Value ReferenceParse(const std::string& text, long lo, long hi) {
    const std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return std::nullopt;
    std::string number = text.substr(begin, text.find_last_not_of(" \t") + 1 - begin);
    const bool negative = number[0] == '-';
    if (negative || number[0] == '+') number.erase(0, 1);
    const std::size_t point = number.find('.');
    std::string whole = number.substr(0, point);
    std::string fraction = point == std::string::npos ? "" : number.substr(point + 1);
    const std::string digits = whole + fraction;
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    if (whole.size() > 9) return std::nullopt;  // beyond every range, rounding included
    long magnitude = whole.empty() ? 0 : std::stol(whole);
    fraction.erase(fraction.find_last_not_of('0') + 1);
    // As decimal fractions without trailing zeros, digit strings order like words.
    const int againstHalf = fraction.empty() ? -1 : fraction.compare("5");
    if (againstHalf > 0 || (againstHalf == 0 && magnitude % 2 == 1)) ++magnitude;
    const long value = negative ? -magnitude : magnitude;
    return value < lo || value > hi ? std::nullopt : Value(value);
}

template <typename T>
Value Widen(std::optional<T> v) { return v ? Value(*v) : std::nullopt; }
QByteArray Show(Value v) { return v ? QByteArray::number(static_cast<qlonglong>(*v)) : "failure"; }

// Random texts near the edges of the grammar and of the ranges.
std::string RandomText(std::mt19937& engine) {
    const auto pick = [&](std::size_t n) { return static_cast<int>(engine() % n); };
    const auto digits = [&](int n, const char* from) {
        std::string text;
        while (n-- > 0) text += from[pick(10)];
        return text;
    };
    static const char* const blanks[] = {"", "", "", "", "", " ", "  ", "\t"};
    static const char* const signs[] = {"", "", "", "", "-", "+", "--", "+-"};
    static const char* const edges[] = {"", "0", "1", "2", "3", "254", "255", "256", "32766", "32767",
                                        "32768", "32769", "65535", "65536", "99999", "1000000"};
    std::string text = blanks[pick(8)];
    text += signs[pick(8)];
    text += std::string(pick(6) == 0 ? pick(25) : 0, '0');
    const bool edge = pick(2);
    text += edge ? edges[pick(16)] : digits(1 + pick(pick(4) == 0 ? 40 : 5), "0123456789");
    if (pick(3)) {
        const int length = pick(5) == 0 ? 20 + pick(30) : pick(5);
        text += "." + digits(length, pick(2) ? "0000955549" : "0123456789");
    }
    text += blanks[pick(8)];
    if (pick(6) == 0) {
        static const char junk[] = "eE,x_ .+-a\t0\xC2\xA0";
        text.insert(static_cast<std::size_t>(pick(text.size() + 1)), 1, junk[pick(sizeof junk - 1)]);
    }
    return text;
}

}  // namespace

class StatTextTest : public QObject {
    Q_OBJECT

private slots:
    void formatAndParseEveryValue() {
        for (int v = -32768; v <= 32767; ++v) {
            const bool isStat = v >= 0 && v <= 255;
            const std::string text = QByteArray::number(v).toStdString();
            if (FormatHP(static_cast<std::int16_t>(v)) != text || Widen(ParseHP(text)) != Value(v) ||
                (isStat && FormatStat(static_cast<std::uint8_t>(v)) != text) ||
                Widen(ParseStat(text)) != (isStat ? Value(v) : Value())) {
                QFAIL(("the value " + text + " is formatted or parsed wrongly").c_str());
            }
        }
    }

    void parseCases_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("hp");  // expected result, or "x" for a failure
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
        row("plus sign", "+12", "12", "12");
        row("255.5 rounds out of range", "255.5", "256", "x");
        row("32767.5 rounds out", "32767.5", "x", "x");
        row("-32768.5 rounds to even", "-32768.5", "-32768", "x");
        row("-0.4 is zero", "-0.4", "0", "0");
        row("long fraction just above half", "2.5000000000000000001", "3", "3");
        row("long fraction just below half", "255.49999999999999999", "255", "255");
        row("many leading zeros", QByteArray(400, '0') + "42", "42", "42");
        row("very long number", "1" + QByteArray(400, '0'), "x", "x");
        row("very long fraction", "7." + QByteArray(5000, '4'), "7", "7");
        row("exponent", "1e2", "x", "x");
        row("hex", "0x10", "x", "x");
        row("grouping", "1,000", "x", "x");
        row("decimal comma", "2,5", "x", "x");
        row("inner blank", "1 000", "x", "x");
        row("blank after sign", "- 5", "x", "x");
        row("two signs", "--5", "x", "x");
        row("sign only", "-", "x", "x");
        row("point only", ".", "x", "x");
        row("two points", "1.2.3", "x", "x");
        row("trailing sign", "5-", "x", "x");
        row("infinity", "inf", "x", "x");
        row("not a number", "nan", "x", "x");
        row("letters", "abc", "x", "x");
        row("embedded NUL", QByteArray("7\0" "1", 3), "x", "x");
        row("full-width digits", "\xEF\xBC\x97", "x", "x");
        row("no-break space", "\xC2\xA0" "7", "x", "x");
        row("64-bit wrap", "18446744073709551617", "x", "x");
        row("32-bit wrap", "4294967297", "x", "x");
        row("16-bit wrap", "65537", "x", "x");
        row("8-bit wrap", "-256", "-256", "x");
    }

    void parseCases() {
        QFETCH(QByteArray, text);
        QFETCH(QString, hp);
        QFETCH(QString, stat);
        const std::string_view view(text.constData(), static_cast<std::size_t>(text.size()));
        const auto expect = [](const QString& s) { return Show(s == "x" ? Value() : Value(s.toLong())); };
        QCOMPARE(Show(Widen(ParseHP(view))), expect(hp));
        QCOMPARE(Show(Widen(ParseField(StatField::HP, view))), expect(hp));
        QCOMPARE(Show(Widen(ParseStat(view))), expect(stat));
        QCOMPARE(Show(Widen(ParseField(StatField::WIS, view))), expect(stat));
        QCOMPARE(Show(ReferenceParse(text.toStdString(), -32768, 32767)), expect(hp));  // the reference agrees
    }

    void randomTextsAgreeWithTheReference() {
        std::mt19937 engine(20240611);
        const int cases = 300000;
        int failures = 0, numbers = 0, stats = 0;
        for (int i = 0; i < cases && failures < 10; ++i) {
            const std::string text = RandomText(engine);
            const Value hp = Widen(ParseHP(text)), stat = Widen(ParseStat(text));
            const Value wantHp = ReferenceParse(text, -32768, 32767), wantStat = ReferenceParse(text, 0, 255);
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
        QVERIFY2(numbers > cases / 4 && stats > cases / 10, qPrintable(QString("%1 numbers, %2 stats").arg(numbers).arg(stats)));
    }
};

QTEST_GUILESS_MAIN(StatTextTest)
#include "tst_stat_text.moc"
