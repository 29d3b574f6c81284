#pragma once

#include "model/Category.h"

#include <QList>
#include <QString>

namespace model {

// The fixed table of the register's ten categories, and the look-ups the module makes in it.
// Every look-up returns null when nothing matches.
class CategoryTable
{
public:
    static const QList<Category> &all();

    static const Category *byStem(const QString &stem);
    // A button name as the main window passes it; compared without regard to case.
    static const Category *byButton(const QString &button);
    static const Category *byHistoryGrid(const QString &gridObject);
    // A history table as a grid reports its update table: compared in lower case, so
    // "TH_SV_ELDERINFO" finds th_sv_elderinfo.
    static const Category *byHistoryTable(const QString &table);
    // The eight related categories in cascade order.
    static QList<const Category *> cascade();
    // The grids a button's sheet shows, in tab order.
    static QList<const Category *> gridsOfButton(const QString &button);
};

} // namespace model
