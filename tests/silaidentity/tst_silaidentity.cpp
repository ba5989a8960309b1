#include "sila/SilaIdentity.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <sys/stat.h>

// Who the server is, kept across starts: read back by fresh objects, as the next start would,
// and the certificate judged by OpenSSL's own checks and its command-line tool.
class TestSilaIdentity : public QObject
{
    Q_OBJECT

private:
    static mode_t modeOf(const QString &path)
    {
        struct stat info
        {
        };
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 0777
                                                                       : mode_t(-1);
    }

    static X509 *parse(const QByteArray &pem)
    {
        BIO *bio = BIO_new_mem_buf(pem.constData(), pem.size());
        X509 *cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
        BIO_free(bio);
        return cert;
    }

private slots:
    void uuidAndNameKeptAcrossStarts()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("sila"));
        QString error;
        SilaIdentity first;
        QVERIFY2(first.load(folder, &error), qPrintable(error));
        const QUuid made(first.uuid());
        QCOMPARE(made.version(), QUuid::Random);
        QCOMPARE(first.uuid().size(), 36);
        QVERIFY(!first.name().isEmpty());
        QVERIFY2(first.setName(QStringLiteral("Bench 4 pump"), &error), qPrintable(error));

        SilaIdentity next;
        QVERIFY2(next.load(folder, &error), qPrintable(error));
        QCOMPARE(next.uuid(), first.uuid());
        QCOMPARE(next.name(), QStringLiteral("Bench 4 pump"));
        // The folder holds the key: the user's alone.
        QCOMPARE(modeOf(folder), mode_t(0700));

        SilaIdentity elsewhere;
        QVERIFY(elsewhere.load(dir.filePath(QStringLiteral("other")), &error));
        QVERIFY(elsewhere.uuid() != first.uuid());
    }

    void names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("taken");
        QTest::newRow("255 characters") << QString(255, QLatin1Char('n')) << true;
        QTest::newRow("256 characters") << QString(256, QLatin1Char('n')) << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("blanks only") << QStringLiteral("   ") << false;
        QTest::newRow("two lines") << QStringLiteral("pump\nsecond") << false;
        QTest::newRow("not ASCII") << QStringLiteral("Dosierpumpe Süd") << true;
        QTest::newRow("terminal escape") << QStringLiteral("pump \x1b[31mred") << false;
        QTest::newRow("zero-width space, Cf") << QStringLiteral("pump\u200b2") << false;
        QTest::newRow("paragraph separator at the end") << QStringLiteral("pump\u2029") << false;
    }

    void names()
    {
        QFETCH(QString, name);
        QFETCH(bool, taken);
        QTemporaryDir dir;
        QString error;
        SilaIdentity identity;
        QVERIFY(identity.load(dir.path(), &error));
        const QString before = identity.name();
        QCOMPARE(identity.setName(name, &error), taken);
        QVERIFY(taken || !error.isEmpty());
        SilaIdentity next;
        QVERIFY(next.load(dir.path(), &error));
        QCOMPARE(next.name(), taken ? name : before);
    }

    void notOurUuidFileRefused()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("uuid")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not-a-uuid\n");
        file.close();
        SilaIdentity identity;
        QString error;
        QVERIFY(!identity.load(dir.path(), &error));
        QVERIFY2(error.contains(QLatin1String("not-a-uuid")), qPrintable(error));
    }

    void certificate()
    {
        QTemporaryDir dir;
        QString error;
        SilaIdentity identity;
        QVERIFY(identity.load(dir.path(), &error));
        // Even a process that would let everyone read new files gets a key for the user alone.
        const mode_t oldMask = ::umask(0);
        QByteArray certPem;
        QByteArray keyPem;
        const bool made = identity.selfSigned(&certPem, &keyPem, &error);
        ::umask(oldMask);
        QVERIFY2(made, qPrintable(error));
        QCOMPARE(SilaIdentity::uuidInCertificate(certPem), identity.uuid());

        const QString keyPath = dir.filePath(QStringLiteral("key.pem"));
        QCOMPARE(modeOf(keyPath), mode_t(0600));
        QFile keyFile(keyPath);
        QVERIFY(keyFile.open(QIODevice::ReadOnly));
        QCOMPARE(keyFile.readAll(), keyPem);

        X509 *cert = parse(certPem);
        QVERIFY(cert != nullptr);
        char cn[64] = {};
        X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, cn, sizeof cn);
        QCOMPARE(QByteArray(cn), QByteArray("SiLA2"));
        QCOMPARE(X509_check_host(cert, "localhost", 0, 0, nullptr), 1);
        QCOMPARE(X509_check_ip_asc(cert, "127.0.0.1", 0), 1);
        QCOMPARE(X509_check_ip_asc(cert, "::1", 0), 1);
        QCOMPARE(X509_check_ip_asc(cert, "10.0.0.1", 0), 0);
        // About ten years: in nine it is still valid, in eleven no longer.
        time_t nineYears = QDateTime::currentDateTimeUtc().addYears(9).toSecsSinceEpoch();
        time_t elevenYears = QDateTime::currentDateTimeUtc().addYears(11).toSecsSinceEpoch();
        QCOMPARE(X509_cmp_time(X509_get0_notAfter(cert), &nineYears), 1);
        QCOMPARE(X509_cmp_time(X509_get0_notAfter(cert), &elevenYears), -1);
        // The extension is there and not critical: clients that do not know it still connect.
        ASN1_OBJECT *oid = OBJ_txt2obj("1.3.6.1.4.1.58583", 1);
        const int index = X509_get_ext_by_OBJ(cert, oid, -1);
        ASN1_OBJECT_free(oid);
        QVERIFY(index >= 0);
        QCOMPARE(X509_EXTENSION_get_critical(X509_get_ext(cert, index)), 0);
        X509_free(cert);

        // The tool's own verdict: self-signed and in order for a TLS server.
        QTemporaryDir scratch;
        QFile out(scratch.filePath(QStringLiteral("c.pem")));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(certPem);
        out.close();
        QProcess verify;
        verify.start(QStringLiteral("openssl"),
                     {QStringLiteral("verify"), QStringLiteral("-purpose"),
                      QStringLiteral("sslserver"), QStringLiteral("-CAfile"), out.fileName(),
                      out.fileName()});
        QVERIFY(verify.waitForFinished(10000));
        QVERIFY2(verify.exitCode() == 0, verify.readAllStandardError().constData());
    }

    void certificateReusedUntilTheUuidChanges()
    {
        QTemporaryDir dir;
        QString error;
        QByteArray firstCert;
        QByteArray firstKey;
        {
            SilaIdentity identity;
            QVERIFY(identity.load(dir.path(), &error));
            QVERIFY(identity.selfSigned(&firstCert, &firstKey, &error));
        }
        QByteArray cert;
        QByteArray key;
        {
            SilaIdentity identity;
            QVERIFY(identity.load(dir.path(), &error));
            QVERIFY(identity.selfSigned(&cert, &key, &error));
            QCOMPARE(cert, firstCert);
            QCOMPARE(key, firstKey);
        }
        // Edited by hand: the certificate must carry the new UUID.
        const QString edited = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");
        QFile file(dir.filePath(QStringLiteral("uuid")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(edited.toLatin1() + '\n');
        file.close();
        SilaIdentity identity;
        QVERIFY(identity.load(dir.path(), &error));
        QCOMPARE(identity.uuid(), edited);
        QVERIFY(identity.selfSigned(&cert, &key, &error));
        QVERIFY(cert != firstCert);
        QVERIFY(key != firstKey);
        QCOMPARE(SilaIdentity::uuidInCertificate(cert), edited);
    }

    // Certificates made by the openssl tool, an independent writer of the extension.
    void uuidFromOtherCertificates_data()
    {
        const QByteArray uuid = "7d3c1c5e-1f0b-4c59-9a3e-2b1e8f0f6a11";
        QTest::addColumn<QStringList>("extension");
        QTest::addColumn<QString>("expected");
        QTest::newRow("the characters as they are")
            << QStringList{QStringLiteral("-addext"), QStringLiteral("1.3.6.1.4.1.58583=DER:") +
                                                          QString::fromLatin1(uuid.toHex(':'))}
            << QString::fromLatin1(uuid);
        QTest::newRow("wrapped in a UTF8String")
            << QStringList{QStringLiteral("-addext"),
                           QStringLiteral("1.3.6.1.4.1.58583=ASN1:UTF8String:") +
                               QString::fromLatin1(uuid)}
            << QString::fromLatin1(uuid);
        QTest::newRow("no extension") << QStringList() << QString();
        QTest::newRow("not a UUID")
            << QStringList{QStringLiteral("-addext"),
                           QStringLiteral("1.3.6.1.4.1.58583=ASN1:UTF8String:not a uuid")}
            << QString();
    }

    void uuidFromOtherCertificates()
    {
        QFETCH(QStringList, extension);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QProcess openssl;
        openssl.start(
            QStringLiteral("openssl"),
            QStringList{QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                        QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                        QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-nodes"),
                        QStringLiteral("-subj"), QStringLiteral("/CN=SiLA2"),
                        QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-keyout"),
                        dir.filePath(QStringLiteral("k.pem"))} +
                extension);
        QVERIFY(openssl.waitForFinished(10000));
        QVERIFY2(openssl.exitCode() == 0, openssl.readAllStandardError().constData());
        QCOMPARE(SilaIdentity::uuidInCertificate(openssl.readAllStandardOutput()), expected);
    }
};

QTEST_GUILESS_MAIN(TestSilaIdentity)
#include "tst_silaidentity.moc"
