#include "ui/resource_bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QResource>

namespace kalix::ui {
namespace {

// The bundle is mapped under its own root so that it cannot collide with
// resources compiled into the program.
const QString kMapRoot = QStringLiteral("/kalix-bundle");
const QString kStrings = QStringLiteral(":/kalix-bundle/kalixres/strings.txt");

struct Bundle {
    QMutex mutex;
    QString path;  // registered file; empty: none
    QHash<int, QString> strings;
};

Bundle& bundle() {
    static Bundle b;
    return b;
}

void unloadLocked(Bundle& b) {
    if (!b.path.isEmpty()) QResource::unregisterResource(b.path, kMapRoot);
    b.path.clear();
    b.strings.clear();
}

QHash<int, QString> readStrings() {
    QHash<int, QString> strings;
    QFile file(kStrings);
    if (!file.open(QIODevice::ReadOnly)) return strings;
    const QByteArray all = file.readAll();
    for (const QByteArray& line : all.split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        if (tab <= 0) continue;
        bool ok = false;
        const int id = line.left(tab).toInt(&ok);
        if (ok) strings.insert(id, QString::fromUtf8(line.mid(tab + 1)));
    }
    return strings;
}

}  // namespace

QStringList clientDataCandidates(const QString& name) {
    QStringList out;
    if (QCoreApplication::instance() != nullptr) {
        const QDir program(QCoreApplication::applicationDirPath());
        out << program.filePath(name);
        // An installation moved as a whole (another prefix) keeps its data
        // folder beside its bin folder.
        out << program.filePath(QStringLiteral("../share/kalix/") + name);
    }
    out << QDir(QStringLiteral(KALIX_DATA_DIR)).filePath(name);
    return out;
}

QStringList resourceBundleCandidates() { return clientDataCandidates(QStringLiteral("kalixres.rcc")); }

bool loadResourceBundle(const QString& path) {
    Bundle& b = bundle();
    QMutexLocker lock(&b.mutex);
    unloadLocked(b);
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (!QFileInfo(absolute).isFile() || !QResource::registerResource(absolute, kMapRoot)) return false;
    b.path = absolute;
    b.strings = readStrings();
    if (b.strings.isEmpty()) {  // an rcc file, but not ours
        unloadLocked(b);
        return false;
    }
    return true;
}

bool loadResourceBundle() {
    for (const QString& candidate : resourceBundleCandidates())
        if (loadResourceBundle(candidate)) return true;
    return false;
}

void unloadResourceBundle() {
    Bundle& b = bundle();
    QMutexLocker lock(&b.mutex);
    unloadLocked(b);
}

bool resourceBundleLoaded() {
    Bundle& b = bundle();
    QMutexLocker lock(&b.mutex);
    return !b.path.isEmpty();
}

QString resourceString(int id) {
    Bundle& b = bundle();
    QMutexLocker lock(&b.mutex);
    return b.strings.value(id);
}

QImage skinPicture(int id) {
    Bundle& b = bundle();
    QMutexLocker lock(&b.mutex);
    if (b.path.isEmpty()) return {};
    return QImage(QStringLiteral(":/kalix-bundle/kalixres/skin/%1.png").arg(id));
}

}  // namespace kalix::ui
