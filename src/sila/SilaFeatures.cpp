#include "SilaFeatures.h"

#include <QFile>
#include <QXmlStreamReader>

// Resources of a static library are registered by hand, once, outside any namespace.
static void registerFeatureResources()
{
    Q_INIT_RESOURCE(silafeatures);
}

const std::vector<SilaFeatures::Feature> &SilaFeatures::all()
{
    static const std::vector<Feature> features = [] {
        registerFeatureResources();
        // The order is the one ImplementedFeatures reports.
        const QStringList files{
            QStringLiteral("SiLAService"), QStringLiteral("DosingPumpController"),
            QStringLiteral("PauseController"), QStringLiteral("CancelController")};
        std::vector<Feature> list;
        for (const QString &name : files) {
            QFile file(QStringLiteral(":/sila/features/%1.sila.xml").arg(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            Feature feature;
            feature.identifier = name;
            feature.definition = QString::fromUtf8(file.readAll());
            feature.fullyQualified = fullyQualifiedIdentifier(feature.definition);
            if (!feature.fullyQualified.isEmpty())
                list.push_back(feature);
        }
        return list;
    }();
    return features;
}

QStringList SilaFeatures::identifiers()
{
    QStringList list;
    for (const Feature &feature : all())
        list << feature.fullyQualified;
    return list;
}

QString SilaFeatures::definition(const QString &fullyQualified)
{
    for (const Feature &feature : all()) {
        if (feature.fullyQualified == fullyQualified)
            return feature.definition;
    }
    return {};
}

QString SilaFeatures::fullyQualifiedIdentifier(const QString &definition)
{
    QXmlStreamReader xml(definition);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("Feature"))
        return {};
    const QXmlStreamAttributes attributes = xml.attributes();
    const QString originator = attributes.value(QLatin1String("Originator")).toString();
    // A feature without a category is in the category "none".
    QString category = attributes.value(QLatin1String("Category")).toString();
    if (category.isEmpty())
        category = QStringLiteral("none");
    const QString version = attributes.value(QLatin1String("FeatureVersion")).toString();
    const QString major = version.section(QLatin1Char('.'), 0, 0);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("Identifier"))
        return {};
    const QString identifier = xml.readElementText();
    if (originator.isEmpty() || major.isEmpty() || identifier.isEmpty())
        return {};
    return QStringLiteral("%1/%2/%3/v%4").arg(originator, category, identifier, major);
}
