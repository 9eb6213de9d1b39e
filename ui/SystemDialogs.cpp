#include "ui/SystemDialogs.h"

#include "forms/Job.h"
#include "ui/Text.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

namespace ui {

namespace {

// "Contactos (*.vcf *.csv)", as Qt reads a filter.
QStringList filterTexts(const forms::FileDialog &dialog)
{
    QStringList filters;
    for (const forms::FileFilter &filter : dialog.filters) {
        QStringList patterns;
        for (const std::string &pattern : filter.patterns)
            patterns << qtext(pattern);
        filters << qtext(filter.name) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

// The extension a filter gives a name typed without one ("*.vcf": "vcf"), or none.
QString suffixOf(const forms::FileDialog &dialog, qsizetype index)
{
    return index < 0 ? QString() : qtext(forms::extensionOf(dialog, static_cast<int>(index)));
}

// Keeps a progress window up until its job ends when the job cannot be stopped:
// Escape and the close button would otherwise hide it and free the window below.
class StayOpen : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
            return true;
        return QObject::eventFilter(watched, event);
    }
};

std::optional<forms::ChosenFile> run(QFileDialog &fileDialog, const forms::FileDialog &dialog)
{
    const QStringList filters = filterTexts(dialog);
    fileDialog.setObjectName(QStringLiteral("fileDialog"));
    fileDialog.setNameFilters(filters);
    if (!dialog.folder.empty())
        fileDialog.setDirectory(pathText(dialog.folder));
    if (fileDialog.exec() != QDialog::Accepted || fileDialog.selectedFiles().isEmpty())
        return std::nullopt;
    return forms::ChosenFile{toPath(fileDialog.selectedFiles().constFirst()),
                             static_cast<int>(std::max<qsizetype>(0, filters.indexOf(fileDialog.selectedNameFilter())))};
}

} // namespace

std::optional<forms::ChosenFile> SystemDialogs::openFile(QWidget *owner, const forms::FileDialog &dialog)
{
    QFileDialog fileDialog(owner, qtext(dialog.title));
    fileDialog.setAcceptMode(QFileDialog::AcceptOpen);
    fileDialog.setFileMode(QFileDialog::ExistingFile);
    return run(fileDialog, dialog);
}

std::optional<forms::ChosenFile> SystemDialogs::saveFile(QWidget *owner, const forms::FileDialog &dialog)
{
    QFileDialog fileDialog(owner, qtext(dialog.title));
    fileDialog.setAcceptMode(QFileDialog::AcceptSave);
    fileDialog.setFileMode(QFileDialog::AnyFile);
    // A name typed without an extension gets the chosen type's.
    fileDialog.setDefaultSuffix(suffixOf(dialog, 0));
    QObject::connect(&fileDialog, &QFileDialog::filterSelected, &fileDialog, [&](const QString &filter) {
        fileDialog.setDefaultSuffix(suffixOf(dialog, filterTexts(dialog).indexOf(filter)));
    });
    if (!dialog.suggestedName.empty())
        fileDialog.selectFile(qtext(dialog.suggestedName));
    return run(fileDialog, dialog);
}

bool SystemDialogs::confirm(QWidget *owner, const std::string &text, const std::string &accept,
                            const std::string &cancel)
{
    const QString shown = qtext(text);
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), shown, QMessageBox::NoButton, owner);
    box.setObjectName(QStringLiteral("question"));
    box.setAccessibleName(shown);
    QPushButton *yes = box.addButton(qtext(accept), QMessageBox::AcceptRole);
    QPushButton *no = box.addButton(qtext(cancel), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void SystemDialogs::waitFor(QWidget *owner, forms::Job &job)
{
    if (job.wait(forms::kProgressDelayMilliseconds))
        return;
    QProgressDialog progress(qtext(job.title()), qtext(job.cancelCaption()), 0, 1000, owner);
    progress.setObjectName(QStringLiteral("progress"));
    progress.setWindowTitle(QApplication::applicationDisplayName());
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(0);
    StayOpen stayOpen;
    if (job.cancelCaption().empty()) {
        progress.setCancelButton(nullptr);
        progress.installEventFilter(&stayOpen);
    }
    QObject::connect(&progress, &QProgressDialog::canceled, &progress, [&job] { job.cancel(); });
    progress.show();
    // The window's events go on, a tick at a time, until the job ends.
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        const int permille = job.permille();
        if (permille < 0)
            progress.setRange(0, 0);
        else {
            progress.setRange(0, 1000);
            progress.setValue(permille);
        }
        if (job.finished())
            loop.quit();
    });
    tick.start(forms::kProgressTickMilliseconds);
    loop.exec();
}

} // namespace ui
