#include "Fixtures.h"

QString sampleSyntax()
{
    return QString::fromUtf8(R"json({
  "style": "grid",
  "table.select": "SELECT hisid, RprNo, hostname, amount, SaveTime FROM th_demo",
  "table.updatetable": "th_demo",
  "objects": [
    {"type": "column", "name": "hisid", "dbname": "th_demo.hisid", "coltype": "long", "key": "yes", "identity": "yes", "visible": 0, "x": 0, "width": 0},
    {"type": "text", "name": "hisid_t", "band": "header", "text": "历史序号", "visible": 0},
    {"type": "column", "name": "RprNo", "coltype": "char(14)", "x": 9, "y": 4, "width": 420, "height": 68},
    {"type": "text", "name": "RprNo_t", "band": "header", "text": "户号", "x": 9, "width": 420, "border": 6},
    {"type": "column", "name": "hostname", "coltype": "char(20)", "x": 438, "y": 4, "width": 600, "height": 68},
    {"type": "text", "name": "hostname_t", "band": "header", "text": "户主姓名", "x": 438, "width": 600},
    {"type": "column", "name": "amount", "coltype": "decimal(2)", "alignment": 1},
    {"type": "text", "name": "amount_t", "band": "header", "text": "金额"},
    {"type": "column", "name": "SaveTime", "coltype": "datetime"},
    {"type": "text", "name": "SaveTime_t", "band": "header", "text": "保存时间"},
    {"type": "bitmap", "name": "p_query", "band": "detail", "filename": "bmp\\query.bmp", "x": 100, "y": 10, "width": 50, "height": 40},
    {"type": "line", "name": "l_h1", "band": "foreground", "x1": 1, "y1": 2, "x2": 3, "y2": 4, "visible": 0}
  ]
})json");
}

rt::DwDefinition sampleDefinition()
{
    QString error;
    return *rt::DwDefinition::fromJson(sampleSyntax().toUtf8(), error);
}
