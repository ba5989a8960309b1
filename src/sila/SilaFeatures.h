#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The Feature Definitions the server implements, as embedded in the program. Each is known by
// its fully qualified identifier, made from its own attributes: originator, category,
// identifier and the major feature version ("org.silastandard/core/SiLAService/v1").
class SilaFeatures
{
public:
    struct Feature
    {
        QString identifier;     // "SiLAService"
        QString fullyQualified; // "org.silastandard/core/SiLAService/v1"
        QString definition;     // the XML text, as served by GetFeatureDefinition
    };

    static const std::vector<Feature> &all();
    static QStringList identifiers();
    // The definition of a feature by its fully qualified identifier; empty when it is not ours.
    static QString definition(const QString &fullyQualified);
    // The fully qualified identifier a definition declares; empty when it is not a feature.
    static QString fullyQualifiedIdentifier(const QString &definition);
};
