#include "ui/ErrorBanner.h"

#include "pumpcore/PumpCore.h"
#include "ui/FeedbackMarks.h"
#include "ui/StyleSheets.h"
#include "ui/WidgetWrite.h"

#include <QCoreApplication>
#include <QLabel>
#include <QSizePolicy>

ErrorBanner::ErrorBanner(QLabel *above, PumpCore &core, QObject *parent)
    : QObject(parent)
    , banner(FeedbackMarks::addLineAbove(above, "labelErrorBanner"))
{
    if (banner) {
        banner->setStyleSheet(QString::fromLatin1(StyleSheets::errorBanner));
        banner->setText(text({QStringLiteral(" ")})); // its height while hidden
        QSizePolicy policy = banner->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        banner->setSizePolicy(policy);
        banner->hide();
    }
    connect(&core, &PumpCore::sampled, this, &ErrorBanner::show);
}

QString ErrorBanner::text(const QStringList &errors)
{
    QStringList shown;
    for (const QString &error : errors)
        shown << QCoreApplication::translate("mainScreen", error.toUtf8().constData());
    return QCoreApplication::translate("mainScreen", "PUMP ERROR: %1")
        .arg(shown.join(QLatin1String(", ")));
}

void ErrorBanner::show(const ProcessSample &sample)
{
    shown = sample.errors.value_or(QStringList());
    if (!banner)
        return;
    if (!shown.isEmpty())
        WidgetWrite::setText(banner, text(shown));
    banner->setVisible(!shown.isEmpty());
}
