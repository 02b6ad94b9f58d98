#include "tunes/files/nearest_key.h"

#include <QList>

#include <algorithm>

namespace tuner {

QString NearestKey(const QString &typed, const QStringList &known) {
    // The edit distance: letters put in, left out or changed, and two letters swapped.
    const auto distance = [](const QString &a, const QString &b) {
        const qsizetype n = a.size();
        const qsizetype m = b.size();
        QList<QList<qsizetype>> d(n + 1, QList<qsizetype>(m + 1, 0));
        for (qsizetype i = 0; i <= n; ++i)
            d[i][0] = i;
        for (qsizetype j = 0; j <= m; ++j)
            d[0][j] = j;
        for (qsizetype i = 1; i <= n; ++i) {
            for (qsizetype j = 1; j <= m; ++j) {
                const qsizetype cost = a.at(i - 1).toLower() == b.at(j - 1) ? 0 : 1;
                d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
                if (i > 1 && j > 1 && a.at(i - 1).toLower() == b.at(j - 2) &&
                    a.at(i - 2).toLower() == b.at(j - 1))
                    d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
        return d[n][m];
    };
    QString nearest;
    qsizetype best = std::max<qsizetype>(2, typed.size() / 3) + 1; // near: a slip of the fingers
    for (const QString &key : known) {
        const qsizetype d = distance(typed, key);
        if (d < best) {
            best = d;
            nearest = key;
        }
    }
    return nearest;
}

} // namespace tuner
