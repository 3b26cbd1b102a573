#include "form_avanzamento.h"

#include <QLabel>
#include <QProgressBar>
#include <QTest>

class TestFormAvanzamento : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void created_hidden_with_its_layout() {
        Tf_avanz window;
        QVERIFY(window.isHidden());
        QCOMPARE(window.size(), QSize(326, 99));
        QCOMPARE(window.windowTitle(), QString());
        QCOMPARE(window.lb1->text(), QStringLiteral("lb1"));
        QCOMPARE(window.lb1->geometry(), QRect(8, 16, 305, 13));
        QCOMPARE(window.pb1->geometry(), QRect(8, 40, 305, 16));
        QVERIFY(!(window.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!(window.windowFlags() & Qt::WindowSystemMenuHint));
    }

    void transfer_shows_label_hides_bar_and_keeps_text() {
        Tf_avanz window;
        window.show_transfer();
        QVERIFY(window.is_shown());
        QVERIFY(window.pb1->isHidden());
        QVERIFY(!window.lb1->isHidden());
        QCOMPARE(window.label(), QStringLiteral("lb1"));
        window.set_label(QStringLiteral("1"));
        window.set_label(QStringLiteral("2"));
        QCOMPARE(window.lb1->text(), QStringLiteral("2"));
        window.hide_transfer();
        QVERIFY(!window.is_shown());
        window.show_transfer();
        QCOMPARE(window.label(), QStringLiteral("2"));
    }
};

QTEST_MAIN(TestFormAvanzamento)
#include "test_form_avanzamento.moc"
