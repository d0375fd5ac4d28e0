#include "dialog_template.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QString>
#include <QStringList>
#include <map>

namespace vesk::platform {

namespace {

std::map<UINT, DLGTEMPLATE>& Templates() {
    static std::map<UINT, DLGTEMPLATE> templates;
    return templates;
}

// MulDiv: a * b / c, rounded half away from zero.
int MulDiv(int a, int b, int c) {
    const long long n = static_cast<long long>(a) * b;
    return static_cast<int>((n >= 0 ? n + c / 2 : n - c / 2) / c);
}

}  // namespace

void RegisterDialogTemplate(UINT nId, DLGTEMPLATE dialogTemplate) {
    Templates()[nId] = std::move(dialogTemplate);
}

const DLGTEMPLATE* FindDialogTemplate(UINT nId) {
    const auto it = Templates().find(nId);
    return it == Templates().end() ? nullptr : &it->second;
}

QFont DialogFont(const DLGTEMPLATE& dialogTemplate) {
    const QString face = QString::fromStdU16String(dialogTemplate.fontFace);
    const QStringList families = QFontDatabase::families();
    QString family;
    // 宋体 goes by its Latin name too.
    for (const QString& name : {face, QStringLiteral("SimSun"), QStringLiteral("NSimSun")}) {
        if (families.contains(name)) {
            family = name;
            break;
        }
    }
    if (family.isEmpty()) {
        const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
        family = chinese.contains(QStringLiteral("WenQuanYi Micro Hei"))
                     ? QStringLiteral("WenQuanYi Micro Hei")
                     : (chinese.isEmpty() ? QString() : chinese.front());
    }
    QFont font(family);
    font.setPointSize(dialogTemplate.nPointSize);
    return font;
}

SIZE GetDialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int nLetters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(nLetters / 26 + 1) / 2, metrics.height()};
}

RECT MapDialogRect(const RECT& rect, SIZE baseUnits) {
    return {MulDiv(rect.left, baseUnits.cx, 4), MulDiv(rect.top, baseUnits.cy, 8),
            MulDiv(rect.right, baseUnits.cx, 4), MulDiv(rect.bottom, baseUnits.cy, 8)};
}

}  // namespace vesk::platform
