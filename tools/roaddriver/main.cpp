// Walks the whole road through the real wizard, the way a user would, and saves a screenshot of
// every page and dialog on the way. Run by `./run.sh --demo --screenshots DIR` inside the demo's
// network namespace, where a simulated camera is announced and listening.
//
// Usage: nomo-roaddriver OUTPUT_DIR
// Exit status 0 when the road ended on the success page with every screenshot saved.
#include "agent/agenttiming.h"
#include "app/nomowizard.h"
#include "app/tabwelcome.h"
#include "app/wifisetuptool.h"
#include "discovery/dnssdsupport.h"
#include "discovery/tabconfigureonenomo.h"
#include "discovery/tabscannetwork.h"
#include "pages/tabnomocommunication.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <functional>

namespace {

QString g_outDir;
int g_failures = 0;

void shoot(QWidget *w, const QString &name)
{
    QApplication::processEvents();
    const QString path = g_outDir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!w->window()->grab().save(path)) {
        qWarning("could not save %s", qPrintable(path));
        ++g_failures;
        return;
    }
    qInfo("saved %s", qPrintable(path));
}

QPushButton *button(QWidget *parent, const QString &text)
{
    for (QPushButton *b : parent->findChildren<QPushButton *>()) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

QPushButton *defaultButton(QWidget *dialog)
{
    for (QPushButton *b : dialog->findChildren<QPushButton *>()) {
        if (b->isDefault())
            return b;
    }
    return nullptr;
}

// Waits, with the event loop running, until the condition holds or the time is up.
bool waitFor(const std::function<bool()> &condition, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

// Answers each modal dialog as it comes up, in order. A dialog without an answer is cancelled.
class DialogAnswers : public QObject
{
public:
    using Answer = std::function<void(QWidget *)>;
    explicit DialogAnswers(QList<Answer> answers)
        : m_answers(std::move(answers))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || modal == m_last || !modal->isVisible())
                return;
            m_last = modal;
            // Let the dialog lay itself out before it is photographed.
            QTimer::singleShot(300, modal, [this, modal] {
                if (m_answers.isEmpty()) {
                    ++g_failures;
                    qWarning("unexpected dialog \"%s\"", qPrintable(modal->windowTitle()));
                    QMetaObject::invokeMethod(modal, "reject", Qt::QueuedConnection);
                    return;
                }
                m_answers.takeFirst()(modal);
            });
        });
        m_timer.start(50);
    }

private:
    QList<Answer> m_answers;
    QPointer<QWidget> m_last;
    QTimer m_timer;
};

void typeInto(QWidget *dialog, const QString &name, const QString &text)
{
    if (auto *edit = dialog->findChild<QLineEdit *>(name))
        edit->setText(text);
}

void pressDefaultLater(QWidget *dialog)
{
    if (QPushButton *ok = defaultButton(dialog))
        QMetaObject::invokeMethod(ok, &QAbstractButton::click, Qt::QueuedConnection);
}

} // namespace

int main(int argc, char **argv)
{
    nomoPrepareDnsSd(); // before the application object and its threads
    QApplication app(argc, argv);
    if (argc < 2) {
        qWarning("usage: nomo-roaddriver OUTPUT_DIR");
        return 2;
    }
    g_outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_outDir);
    // A shorter wait for the camera's verdict than users get; everything else is as it is.
    AgentTiming::setResultWaitMs(3000);

    applyWifiSetupLook(app);
    NomoWizard wizard(nullptr);
    prepareWizardWindow(wizard);
    wizard.resize(560, 480);
    wizard.show();
    waitFor([&] { return wizard.isVisible(); }, 5000);
    shoot(&wizard, QStringLiteral("0-welcome"));

    button(wizard.welcomePage(), QStringLiteral("Start"))->click();
    if (!waitFor([&] { return wizard.scanPage()->devices().size() >= 2; }, 12000))
        qWarning("the scan found %d cameras", int(wizard.scanPage()->devices().size()));
    shoot(&wizard, QStringLiteral("1-scan"));
    if (wizard.currentPageIndex() == 1)
        button(wizard.scanPage(), QStringLiteral("Continue to Next Step"))->click();

    TabConfigureOneNomo *devices = wizard.devicePage();
    shoot(&wizard, QStringLiteral("2-devices"));
    if (devices->choiceButtons().isEmpty()) {
        qWarning("no camera to choose");
        return 1;
    }
    devices->choiceButtons().first()->click();

    DialogAnswers answers({
        [](QWidget *d) {
            typeInto(d, QStringLiteral("passwordEdit"), QStringLiteral("Nomo-1234"));
            if (auto *change = d->findChild<QCheckBox *>(QStringLiteral("changePasswordCheck")))
                change->setChecked(true);
            shoot(d, QStringLiteral("3-password"));
            pressDefaultLater(d);
        },
        [](QWidget *d) {
            typeInto(d, QStringLiteral("newPasswordEdit"), QStringLiteral("Nomo-5678"));
            typeInto(d, QStringLiteral("confirmPasswordEdit"), QStringLiteral("Nomo-5678"));
            shoot(d, QStringLiteral("4-change-password"));
            pressDefaultLater(d);
        },
        [&wizard](QWidget *d) {
            typeInto(d, QStringLiteral("keyEdit"), QStringLiteral("home-key-1"));
            shoot(d, QStringLiteral("5-wifi"));
            pressDefaultLater(d);
            // The page as it waits for the camera's verdict.
            QTimer::singleShot(1500, &wizard,
                               [&wizard] { shoot(&wizard, QStringLiteral("6-communication")); });
        },
    });
    // The whole session runs inside this click; it returns on the results page.
    devices->continueButton()->click();

    shoot(&wizard, QStringLiteral("7-results"));
    const bool success = wizard.currentPageIndex() == 4
                         && wizard.communicationPage()->result() == ComResultSuccess;
    if (!success)
        qWarning("the road did not end on the success page");
    return success && g_failures == 0 ? 0 : 1;
}
