#include "viewer_settings.h"

#include "code_page.h"
#include "forum_address.h"
#include "request_checks.h"
#include "result_page.h"

#include <QStringList>
#include <iterator>

namespace vesk {

namespace {

constexpr const char* kFilterNames[] = {"all", "starter", "names"};

// Board codes and thread numbers are the forum's bytes: kept percent-encoded.
QString ThreadGroup(const ThreadKey& key) {
    return QStringLiteral("threads/") +
           QString::fromLatin1(QByteArray::fromStdString(key.strBoardCode).toPercentEncoding()) +
           QLatin1Char(',') +
           QString::fromLatin1(QByteArray::fromStdString(key.strThreadId).toPercentEncoding());
}

}  // namespace

ViewerSettings::ViewerSettings()
    : m_settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("vesk"),
                 QStringLiteral("vesk")) {}

QByteArray ViewerSettings::Geometry() const {
    return m_settings.value(QStringLiteral("window/geometry")).toByteArray();
}

void ViewerSettings::SetGeometry(const QByteArray& geometry) {
    m_settings.setValue(QStringLiteral("window/geometry"), geometry);
}

double ViewerSettings::Zoom() const {
    bool bNumber = false;
    const double dZoom = m_settings.value(QStringLiteral("view/zoom")).toDouble(&bNumber);
    return bNumber && dZoom >= 0.3 && dZoom <= 3.0 ? dZoom : 1.0;
}

void ViewerSettings::SetZoom(double dZoom) {
    m_settings.setValue(QStringLiteral("view/zoom"), dZoom);
}

bool ViewerSettings::Night() const {
    return m_settings.value(QStringLiteral("view/night"), false).toBool();
}

void ViewerSettings::SetNight(bool bNight) {
    m_settings.setValue(QStringLiteral("view/night"), bNight);
}

bool ViewerSettings::NoPictures() const {
    return m_settings.value(QStringLiteral("view/no_pictures"), false).toBool();
}

void ViewerSettings::SetNoPictures(bool bNoPictures) {
    m_settings.setValue(QStringLiteral("view/no_pictures"), bNoPictures);
}

bool ViewerSettings::SkipPictures() const {
    return m_settings.value(QStringLiteral("library/skip_pictures"), false).toBool();
}

void ViewerSettings::SetSkipPictures(bool bSkip) {
    m_settings.setValue(QStringLiteral("library/skip_pictures"), bSkip);
}

QString ViewerSettings::LastExportFormat() const {
    return m_settings.value(QStringLiteral("export/format")).toString();
}

QString ViewerSettings::LastExportFolder() const {
    return m_settings.value(QStringLiteral("export/folder")).toString();
}

void ViewerSettings::SetLastExport(const QString& format, const QString& folder) {
    m_settings.setValue(QStringLiteral("export/format"), format);
    m_settings.setValue(QStringLiteral("export/folder"), folder);
}

std::string NameListBytes(const QString& text) {
    std::string bytes;
    const QStringList items =
        QString::fromStdString(WithHalfWidthCommas(text.toStdString())).split(QLatin1Char(','));
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0) {
            bytes += ',';
        }
        // GB2312 never has the byte 0xFF.
        const std::optional<std::string> item = Utf8ToGbk(items[i].toStdString());
        bytes += item ? *item : std::string("\xFF");
    }
    return bytes;
}

// The names are kept as text, the GB2312 that no character stands for as U+FFFD, which is read
// back as a name nobody has.
std::optional<PostFilter> ViewerSettings::Filter(const ThreadKey& key) const {
    const QString group = ThreadGroup(key);
    const QString mode = m_settings.value(group + QStringLiteral("/filter")).toString();
    for (std::size_t i = 0; i < std::size(kFilterNames); ++i) {
        if (mode == QLatin1String(kFilterNames[i])) {
            return PostFilter{
                static_cast<PostFilter::Mode>(i),
                NameListBytes(m_settings.value(group + QStringLiteral("/names")).toString())};
        }
    }
    return std::nullopt;
}

void ViewerSettings::SetFilter(const ThreadKey& key, const PostFilter& filter) {
    const auto nMode = static_cast<std::size_t>(filter.mode);
    if (nMode >= std::size(kFilterNames)) {
        return;
    }
    const QString group = ThreadGroup(key);
    m_settings.setValue(group + QStringLiteral("/filter"), QLatin1String(kFilterNames[nMode]));
    m_settings.setValue(group + QStringLiteral("/names"),
                        QString::fromStdU16String(GbkToUtf16(filter.strNameList)));
}

}  // namespace vesk
