#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <optional>
#include <string>

namespace vesk {

struct ThreadKey;
struct PostFilter;

// The name list as typed, in GB2312; an item that GB2312 cannot hold becomes a byte that no
// author holds, so that it matches nobody while the others still match.
std::string NameListBytes(const QString& text);

// What the viewer remembers between starts, in the user's settings file of the program
// ($XDG_CONFIG_HOME/vesk/vesk.ini): the window's size and place, the view's zoom, the night
// page, the pictures' modes, the last export, and each thread's filter.
class ViewerSettings final {
public:
    ViewerSettings();

    QByteArray Geometry() const;
    void SetGeometry(const QByteArray& geometry);
    double Zoom() const;  // 1 when none was kept
    void SetZoom(double dZoom);
    bool Night() const;
    void SetNight(bool bNight);
    // The picture-less mode; and whether updates leave pictures for later.
    bool NoPictures() const;
    void SetNoPictures(bool bNoPictures);
    bool SkipPictures() const;
    void SetSkipPictures(bool bSkip);
    // The format (its extension) and the folder of the last export; empty before any.
    QString LastExportFormat() const;
    QString LastExportFolder() const;
    void SetLastExport(const QString& format, const QString& folder);
    // Each thread's filter as the reader last chose it.
    std::optional<PostFilter> Filter(const ThreadKey& key) const;
    void SetFilter(const ThreadKey& key, const PostFilter& filter);

private:
    mutable QSettings m_settings;
};

}  // namespace vesk
