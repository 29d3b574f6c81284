#pragma once

#include "platform/dw/DwDefinition.h"

#include <QString>

// A small grid definition in the text form: hisid (key, identity, hidden), RprNo, hostname,
// amount decimal(2), SaveTime; header captions <col>_t; a bitmap p_query, a line l_h1.
QString sampleSyntax();
rt::DwDefinition sampleDefinition();
