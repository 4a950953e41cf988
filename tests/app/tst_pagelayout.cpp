#include "agent/enmcomresult.h"
#include "app/nomowizard.h"
#include "app/wifisetuptool.h"
#include "discovery/tabconfigureonenomo.h"
#include "pages/tabcommunicationresults.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QStackedWidget>
#include <QTest>

#include <functional>

namespace {

// Labels and buttons of the current page that got less room than they ask for. A word-wrapped
// label may be narrower than its one-line hint, but must be tall enough for its wrapped text.
QStringList clippedOnCurrentPage(NomoWizard &wizard)
{
    QStringList clipped;
    const auto widgets = wizard.pageStack()->currentWidget()->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        auto *label = qobject_cast<QLabel *>(w);
        auto *button = qobject_cast<QAbstractButton *>(w);
        if (!w->isVisible() || !(label || button))
            continue;
        QSize need = w->sizeHint();
        if (label && label->wordWrap()) {
            need.setWidth(qMin(need.width(), w->width()));
            need.setHeight(label->heightForWidth(w->width()));
        }
        if (w->width() < need.width() || w->height() < need.height()) {
            clipped << QStringLiteral("%1 \"%2\": %3x%4 < %5x%6")
                           .arg(QLatin1String(w->metaObject()->className()),
                                label ? label->text().left(40) : button->text())
                           .arg(w->width())
                           .arg(w->height())
                           .arg(need.width())
                           .arg(need.height());
        }
    }
    return clipped;
}

using PageSetup = std::function<void(NomoWizard &)>;

} // namespace

Q_DECLARE_METATYPE(PageSetup)

class TestPageLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nothingClippedInDefaultSize_data();
    void nothingClippedInDefaultSize();
};

void TestPageLayout::nothingClippedInDefaultSize_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<PageSetup>("setup");
    const PageSetup none = [](NomoWizard &) {};
    const PageSetup twoCameras = [](NomoWizard &w) {
        w.devicePage()->setDevices({QStringLiteral("Dovrel Nomo 0001@nomocam.local"),
                                    QStringLiteral("Dovrel_Nomo_0002@nomocam.local")});
    };
    QTest::newRow("welcome") << 0 << none;
    QTest::newRow("scan") << 1 << none;
    QTest::newRow("devices, none") << 2 << none;
    QTest::newRow("devices, two cameras") << 2 << twoCameras;
    QTest::newRow("communication") << 3 << none;
    for (int outcome : {0, 1, 2, 4, 5, 6, 9}) {
        QTest::addRow("results, outcome %d", outcome) << 4 << PageSetup([outcome](NomoWizard &w) {
            w.resultsPage()->setTextAndImage(enmComResult(outcome), QPixmap());
        });
    }
}

void TestPageLayout::nothingClippedInDefaultSize()
{
    QFETCH(int, page);
    QFETCH(PageSetup, setup);
    applyWifiSetupLook(*qApp);
    NomoWizard wizard(nullptr);
    prepareWizardWindow(wizard);
    // Only the layout is looked at: no scan, no camera session.
    QObject::disconnect(wizard.pageStack(), &QStackedWidget::currentChanged, &wizard,
                        &NomoWizard::OnCurrentWidgetChanged);
    setup(wizard);
    wizard.pageStack()->setCurrentIndex(page);
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    const QStringList clipped = clippedOnCurrentPage(wizard);
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestPageLayout)
#include "tst_pagelayout.moc"
