#pragma once
// The resource bundle kalixres.rcc: the operator texts by string number and
// the skin pictures by bitmap number. Loaded once at start-up; without it
// every text is empty and every picture null, and the program still works.

#include <QImage>
#include <QString>
#include <QStringList>

namespace kalix::ui {

// Places searched for a data file of the client's (the bundle, the wall's
// pictures, the branding file, the demo clip), in order: the folder of the
// executable and the data folder beside it (when a QCoreApplication
// exists), then the installed data folder.
QStringList clientDataCandidates(const QString& name);

// Places searched for kalixres.rcc, in order: the folder of the executable
// and the data folder beside it (when a QCoreApplication exists), then the
// installed data folder.
QStringList resourceBundleCandidates();

// Registers the bundle at `path` and reads its string table, replacing a
// bundle loaded before. False (and no bundle) when the file is missing or
// not a bundle.
bool loadResourceBundle(const QString& path);

// Loads the first bundle found in resourceBundleCandidates(); false when
// there is none.
bool loadResourceBundle();

// Forgets the loaded bundle (texts empty, pictures null again).
void unloadResourceBundle();

bool resourceBundleLoaded();

// The text of a string number; empty when missing or no bundle is loaded.
QString resourceString(int id);

// The skin picture of a bitmap number; null when missing or no bundle.
QImage skinPicture(int id);

}  // namespace kalix::ui
