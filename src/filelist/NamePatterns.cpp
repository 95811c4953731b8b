#include "filelist/NamePatterns.h"

#include <QList>

namespace quorvane::filelist {

namespace {

// "*" and "?" over code points; both sides arrive case-folded.
bool globMatch(const QList<uint>& name, const QList<uint>& pattern) {
    qsizetype n = 0, p = 0;
    qsizetype starAt = -1, resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || (pattern[p] != u'*' && pattern[p] == name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starAt = p++;
            resumeAt = n;
        } else if (starAt >= 0) {
            // Let the last star take one more character and try again from there.
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Compares the digit runs that start at i in x and at j in y as numbers and moves i and j past them.
// Without leading zeros, the longer run is the larger number.
int compareNumbers(const QString& x, qsizetype& i, const QString& y, qsizetype& j) {
    qsizetype endX = i, endY = j;
    while (endX < x.size() && isDigit(x[endX]))
        ++endX;
    while (endY < y.size() && isDigit(y[endY]))
        ++endY;
    qsizetype startX = i, startY = j;
    while (startX < endX && x[startX] == u'0')
        ++startX;
    while (startY < endY && y[startY] == u'0')
        ++startY;
    i = endX;
    j = endY;
    if (endX - startX != endY - startY)
        return endX - startX < endY - startY ? -1 : 1;
    return QStringView(x).sliced(startX, endX - startX).compare(QStringView(y).sliced(startY, endY - startY));
}

} // namespace

bool matchesWildcard(const QString& name, const QString& pattern) {
    const QList<uint> foldedName = name.toCaseFolded().toUcs4();
    const QString foldedPattern = pattern.toCaseFolded();
    if (globMatch(foldedName, foldedPattern.toUcs4()))
        return true;
    // "name.*" also stands for the bare name, the way "*.*" stands for every name.
    return foldedPattern.endsWith(u".*") && globMatch(foldedName, foldedPattern.chopped(2).toUcs4());
}

int naturalCompare(const QString& a, const QString& b) {
    const QString x = a.toCaseFolded();
    const QString y = b.toCaseFolded();
    qsizetype i = 0, j = 0;
    while (i < x.size() && j < y.size()) {
        if (isDigit(x[i]) && isDigit(y[j])) {
            const int numbers = compareNumbers(x, i, y, j);
            if (numbers != 0)
                return numbers;
            continue;
        }
        if (x[i] != y[j])
            return x[i].unicode() < y[j].unicode() ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < x.size() || j < y.size())
        return i < x.size() ? 1 : -1;
    const int exact = QString::compare(a, b);
    return exact < 0 ? -1 : (exact > 0 ? 1 : 0);
}

} // namespace quorvane::filelist
