#pragma once

#include <QStringList>

namespace host {

// Word lists the demo register draws its names, places and occupations from.
struct DemoVocabulary
{
    static const QStringList &surnames();
    static const QStringList &maleGiven();
    static const QStringList &femaleGiven();
    static const QStringList &streets();
    static const QStringList &communities();
    static const QStringList &policeStations();
    static const QStringList &birthplaces();
    static const QStringList &nations();        // weighted by repetition: mostly 汉族
    static const QStringList &companies();
    static const QStringList &occupations();
    static const QStringList &posts();
    static const QStringList &schools();
    static const QStringList &vaccines();
    static const QStringList &origins();
    static const QStringList &stayReasons();
    static const QStringList &skills();
    static const QStringList &jobWishes();
    static const QStringList &povertyReasons();
    static const QStringList &religions();
    static const QStringList &contraceptions();
    static const QStringList &healthStates();
    static const QStringList &livingStates();
    static const QStringList &pensionTypes();
};

} // namespace host
