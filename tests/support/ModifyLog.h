#pragma once

#include "platform/dw/DataStore.h"

#include <QStringList>

// Records every Modify a DataStore receives, with its expression as sent.
class ModifyLog : public rt::DataStoreObserver
{
public:
    explicit ModifyLog(rt::DataStore &ds) : m_ds(ds) { ds.addObserver(this); }
    ~ModifyLog() override { m_ds.removeObserver(this); }
    ModifyLog(const ModifyLog &) = delete;
    ModifyLog &operator=(const ModifyLog &) = delete;
    void modifyCalled(const QString &expression, const QString &) override { expressions << expression; }
    QStringList expressions;

private:
    rt::DataStore &m_ds;
};
