#include "protocol_printers.h"

#include <QTest>

// The short exchanges: SMS record both ways, identification, the "NORMALE" confirmation, follow-up frames.
class TestShortReplies : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sms_record_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("three numbers and a name")
            << "3351234567;3357654321;0212345678;Deposito Nord;"
            << QStringList{"3351234567", "3357654321", "0212345678", "Deposito Nord"};
        QTest::newRow("blanks and controls trimmed")
            << " 335 ;\t336\x01; \x1f 337 ; Nord  Est ;" << QStringList{"335", "336", "337", "Nord  Est"};
        QTest::newRow("fifth field ignored") << "1;2;3;4;5;" << QStringList{"1", "2", "3", "4"};
        QTest::newRow("no separator") << "3351234567" << QStringList{};
        QTest::newRow("empty line") << "" << QStringList{};
        QTest::newRow("unterminated field lost") << "1;2;3;name" << QStringList{"1", "2", "3"};
        QTest::newRow("empty fields") << ";;;;" << QStringList{"", "", "", ""};
        QTest::newRow("longer than twenty kept")
            << "123456789012345678901234;" << QStringList{"123456789012345678901234"};
        QTest::newRow("non-breaking space is not trimmed")
            << QStringLiteral("\u00a0x\u00a0;") << QStringList{QStringLiteral("\u00a0x\u00a0")};
    }
    void sms_record() {
        QFETCH(QString, line);
        QFETCH(QStringList, texts);
        QCOMPARE(parse_sms_record(line), texts);
    }

    void sms_field_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sent");
        QTest::newRow("as it is") << "3351234567"
                                  << "3351234567";
        QTest::newRow("blanks around") << "  335 123  "
                                       << "335 123";
        QTest::newRow("25 characters cut to 20") << "1234567890123456789012345"
                                                 << "12345678901234567890";
        QTest::newRow("cut before trimming") << QString(19, u' ') + "abcdef"
                                             << "a";
        QTest::newRow("trailing blanks past 20") << "12345678901234567890   "
                                                 << "12345678901234567890";
        QTest::newRow("controls trimmed") << "\t\r007\n"
                                          << "007";
        QTest::newRow("empty") << ""
                               << "";
    }
    void sms_field() {
        QFETCH(QString, text);
        QFETCH(QString, sent);
        QCOMPARE(sms_field_for_sending(text), sent);
    }

    void identification_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<Identification>("id");
        QTest::newRow("two channels, 16 relays") << "?BH" << Identification{2, true};
        QTest::newRow("one channel, two characters") << "?A" << Identification{1, false};
        QTest::newRow("two characters") << "?B" << Identification{2, false};
        QTest::newRow("one character") << "?" << Identification{0, false};
        QTest::newRow("empty") << "" << Identification{0, false};
        QTest::newRow("lower-case h is 4 relays") << "?Bh" << Identification{2, false};
        QTest::newRow("first character plays no part") << "XDH..." << Identification{4, true};
        QTest::newRow("at sign is no channel") << "?@" << Identification{0, false};
        QTest::newRow("below at sign") << "?0" << Identification{-16, false};
    }
    void identification() {
        QFETCH(QString, line);
        QFETCH(Identification, id);
        QCOMPARE(parse_identification(line), id);
    }

    void normale_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("confirms");
        QTest::newRow("word, blank, NORMALE, full stop") << "SCRITTURA NORMALE." << true;
        QTest::newRow("NORMALE alone") << "NORMALE" << true;
        QTest::newRow("lower case with one more character") << "scrittura normale." << true;
        QTest::newRow("mixed case with a prompt") << "NorMale>" << true;
        QTest::newRow("letter then NORMALE") << "XNORMALE" << false;
        QTest::newRow("ABNORMALE") << "ABNORMALE" << false;
        QTest::newRow("two characters after") << "NORMALE.." << false;
        QTest::newRow("shorter than seven") << "NORMAL" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("accented letter not folded") << QStringLiteral("NORMAL\u00c9.") << false;
        QTest::newRow("no letter folding beyond a-z") << QStringLiteral("norma\u0142e.") << false;
    }
    void normale() {
        QFETCH(QString, line);
        QFETCH(bool, confirms);
        QCOMPARE(is_normale(line), confirms);
    }

    void follow_up_data() {
        QTest::addColumn<QByteArray>("letter");
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QStringList>("sms");
        QTest::addColumn<FollowUp>("expected");
        const QStringList no_sms;
        const QString payload = QStringLiteral("A$payload$");
        const QString table = QStringLiteral("00001\t00002\r\n65000\t65000\r\n");
        QTest::newRow("read channel")
            << QByteArray("R") << QByteArray("B") << "$" << QString() << no_sms << FollowUp{"RB\r", false};
        QTest::newRow("read sms") << QByteArray("S") << QByteArray("B") << "$" << QString() << no_sms
                                  << FollowUp{"S\r", false};
        QTest::newRow("write sms") << QByteArray("T") << QByteArray("A") << "$" << QString()
                                   << QStringList{"1234567890123456789012345", "  335 ", "", "Nord"}
                                   << FollowUp{"T12345678901234567890;335;;Nord;\r", false};
        QTest::newRow("write sms, all empty") << QByteArray("T") << QByteArray("A") << "$" << QString()
                                              << QStringList{"", "", "", ""} << FollowUp{"T;;;;\r", false};
        QTest::newRow("write sms, texts missing") << QByteArray("T") << QByteArray("A") << "$" << QString()
                                                  << QStringList{"1"} << FollowUp{"T1;;;;\r", false};
        QTest::newRow("handshake") << QByteArray("N") << QByteArray() << "N" << QString() << no_sms
                                   << FollowUp{"N\r", false};
        QTest::newRow("letter rule before handshake rule")
            << QByteArray("R") << QByteArray("A") << "N" << QString() << no_sms << FollowUp{"RA\r", false};
        QTest::newRow("handshake rule before write")
            << QByteArray("W") << QByteArray("A") << "N" << payload << no_sms << FollowUp{"N\r", false};
        QTest::newRow("write config") << QByteArray("W") << QByteArray("C") << "$" << payload << no_sms
                                      << FollowUp{"WA$payload$\r", true};
        QTest::newRow("write table") << QByteArray("C") << QByteArray("A") << "$" << table << no_sms
                                     << FollowUp{"CA\r\n" + table, true};
        QTest::newRow("read table") << QByteArray("G") << QByteArray("B") << "$" << QString() << no_sms
                                    << FollowUp{"GB\r", false};
        QTest::newRow("no rule applies")
            << QByteArray("X") << QByteArray("A") << "$" << QString() << no_sms << FollowUp{};
    }
    void follow_up() {
        QFETCH(QByteArray, letter);
        QFETCH(QByteArray, address);
        QFETCH(QString, frame);
        QFETCH(QString, payload);
        QFETCH(QStringList, sms);
        QFETCH(FollowUp, expected);
        QCOMPARE(build_follow_up(letter, address, frame, payload, sms), expected);
    }
};

QTEST_GUILESS_MAIN(TestShortReplies)
#include "test_short_replies.moc"
