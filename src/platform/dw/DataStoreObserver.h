#pragma once

#include <QString>

namespace rt {

// Told of changes to a DataStore's primary buffer and definition, so that a view can follow.
// Rows and columns are 1-based. Every begin… is followed by its end….
class DataStoreObserver
{
public:
    virtual ~DataStoreObserver() = default;
    virtual void beginReset() {}
    virtual void endReset() {}
    virtual void beginInsertRows(long /*first*/, long /*count*/) {}
    virtual void endInsertRows() {}
    virtual void beginRemoveRows(long /*first*/, long /*count*/) {}
    virtual void endRemoveRows() {}
    virtual void itemChanged(long /*row*/, int /*column*/) {}
    // A Modify changed the definition (a property, the select, read-only).
    virtual void propertiesChanged() {}
    // Every Modify, with its expression as sent and its answer ("" = done).
    virtual void modifyCalled(const QString & /*expression*/, const QString & /*answer*/) {}
    virtual void currentRowChanged(long /*row*/) {}
};

} // namespace rt
