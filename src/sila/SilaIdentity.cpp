#include "sila/SilaIdentity.h"

#include "platform/InstanceSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSysInfo>
#include <QUuid>
#include <QVector>

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The private enterprise number under which the standard keeps the server UUID extension.
const char *const UuidExtensionOid = "1.3.6.1.4.1.58583";
constexpr int ValidDays = 3650;
constexpr int MaxNameLength = 255;

const QString UuidFile = QStringLiteral("uuid");
const QString NameFile = QStringLiteral("name");
const QString CertificateFile = QStringLiteral("certificate.pem");
const QString KeyFile = QStringLiteral("key.pem");

template<typename T, void (*Free)(T *)>
struct Deleter
{
    void operator()(T *p) const { Free(p); }
};
using Bio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using Pkey = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using Cert = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using Obj = std::unique_ptr<ASN1_OBJECT, Deleter<ASN1_OBJECT, ASN1_OBJECT_free>>;
using Octets =
    std::unique_ptr<ASN1_OCTET_STRING, Deleter<ASN1_OCTET_STRING, ASN1_OCTET_STRING_free>>;
using Extension = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION, X509_EXTENSION_free>>;

QString sslError(const char *what)
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return QString::fromLatin1(what);
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QLatin1String(text));
}

QByteArray bioBytes(BIO *bio)
{
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return QByteArray(data, int(size));
}

Cert readCertificate(const QByteArray &pem)
{
    Bio bio(BIO_new_mem_buf(pem.constData(), pem.size()));
    return Cert(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

// A key with a passphrase is not read: OpenSSL's own prompt would wait on the terminal.
int noPassphrase(char *, int, int, void *)
{
    return 0;
}

Pkey readKey(const QByteArray &pem)
{
    Bio bio(BIO_new_mem_buf(pem.constData(), pem.size()));
    return Pkey(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, &noPassphrase, nullptr)
                    : nullptr);
}

// Written beside the file and renamed over it, so a reader sees the old or the new one whole;
// made with its final mode, so a key is never readable by others, not even for a moment.
bool writeAtomically(const QString &path, const QByteArray &data, mode_t mode, QString *error)
{
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data()); // mode 0600
    const auto fail = [&](const QString &what) {
        *error = QStringLiteral("%1: %2: %3")
                     .arg(path, what, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    };
    if (fd < 0)
        return fail(QStringLiteral("cannot create"));
    const char *from = data.constData();
    qsizetype left = data.size();
    bool ok = true;
    while (ok && left > 0) {
        const ssize_t n = ::write(fd, from, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        from += n;
        left -= n;
    }
    ok = ok && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temporary.constData(), target.constData()) != 0) {
        const int saved = errno;
        ::unlink(temporary.constData());
        errno = saved;
        return fail(QStringLiteral("cannot write"));
    }
    return true;
}

// The file's first line; a null string when there is no file.
bool readLine(const QString &path, QString *line, QString *error)
{
    QFile file(path);
    if (!file.exists()) {
        *line = QString();
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    *line = QString::fromUtf8(file.readLine(4096)).trimmed();
    return true;
}

QString defaultName()
{
    const QString host = QSysInfo::machineHostName();
    return QStringLiteral("DOSETTA %1")
        .arg(host.isEmpty() ? QStringLiteral("pump") : host)
        .left(MaxNameLength);
}

bool addExtension(X509 *cert, X509V3_CTX *context, int nid, const char *value)
{
    Extension extension(X509V3_EXT_conf_nid(nullptr, context, nid, value));
    return extension && X509_add_ext(cert, extension.get(), -1) == 1;
}

bool makeCertificate(const QString &uuid, QByteArray *certificatePem, QByteArray *keyPem,
                     QString *error)
{
    Pkey key(EVP_EC_gen("P-256"));
    Cert cert(X509_new());
    if (!key || !cert) {
        *error = sslError("cannot make a key");
        return false;
    }
    const auto fail = [&](const char *what) {
        *error = sslError(what);
        return false;
    };
    // A random positive serial: a client that met an older certificate of ours must not take
    // this one for it.
    std::unique_ptr<BIGNUM, Deleter<BIGNUM, BN_free>> serial(BN_new());
    if (!serial || BN_rand(serial.get(), 127, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) != 1 ||
        BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(cert.get())) == nullptr)
        return fail("cannot make a serial number");
    X509_NAME *name = X509_get_subject_name(cert.get());
    if (X509_set_version(cert.get(), X509_VERSION_3) != 1 ||
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char *>("SiLA2"), -1, -1,
                                   0) != 1 ||
        X509_set_issuer_name(cert.get(), name) != 1 ||
        X509_gmtime_adj(X509_getm_notBefore(cert.get()), 0) == nullptr ||
        X509_time_adj_ex(X509_getm_notAfter(cert.get()), ValidDays, 0, nullptr) == nullptr ||
        X509_set_pubkey(cert.get(), key.get()) != 1)
        return fail("cannot fill in the certificate");

    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert.get(), cert.get(), nullptr, nullptr, 0);
    // The clients trust this certificate itself (it travels in the discovery record), so it is
    // its own authority as well as the server's certificate.
    const QByteArray host = QSysInfo::machineHostName().toUtf8();
    QByteArray altNames = "DNS:localhost,IP:127.0.0.1,IP:::1";
    if (!host.isEmpty() && host != "localhost" && !host.contains(','))
        altNames.prepend("DNS:" + host + ',');
    if (!addExtension(cert.get(), &context, NID_basic_constraints, "critical,CA:TRUE") ||
        !addExtension(cert.get(), &context, NID_key_usage,
                      "critical,digitalSignature,keyCertSign") ||
        !addExtension(cert.get(), &context, NID_ext_key_usage, "serverAuth") ||
        !addExtension(cert.get(), &context, NID_subject_key_identifier, "hash") ||
        !addExtension(cert.get(), &context, NID_subject_alt_name, altNames.constData()))
        return fail("cannot add the certificate's extensions");

    // The UUID as its 36 characters, not wrapped in a string type.
    Obj oid(OBJ_txt2obj(UuidExtensionOid, 1));
    Octets value(ASN1_OCTET_STRING_new());
    const QByteArray ascii = uuid.toLatin1();
    if (!oid || !value ||
        ASN1_OCTET_STRING_set(value.get(),
                              reinterpret_cast<const unsigned char *>(ascii.constData()),
                              ascii.size()) != 1)
        return fail("cannot make the UUID extension");
    Extension uuidExtension(X509_EXTENSION_create_by_OBJ(nullptr, oid.get(), 0, value.get()));
    if (!uuidExtension || X509_add_ext(cert.get(), uuidExtension.get(), -1) != 1)
        return fail("cannot add the UUID extension");

    if (X509_sign(cert.get(), key.get(), EVP_sha256()) == 0)
        return fail("cannot sign the certificate");

    Bio certOut(BIO_new(BIO_s_mem()));
    Bio keyOut(BIO_new(BIO_s_mem()));
    if (!certOut || !keyOut || PEM_write_bio_X509(certOut.get(), cert.get()) != 1 ||
        PEM_write_bio_PrivateKey(keyOut.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
            1)
        return fail("cannot write the certificate");
    *certificatePem = bioBytes(certOut.get());
    *keyPem = bioBytes(keyOut.get());
    return true;
}

// Ours to reuse: the same UUID, the key that belongs to it, and not about to expire.
bool reusable(const QByteArray &certificatePem, const QByteArray &keyPem, const QString &uuid)
{
    Cert cert = readCertificate(certificatePem);
    Pkey key = readKey(keyPem);
    if (!cert || !key || X509_check_private_key(cert.get(), key.get()) != 1) {
        ERR_clear_error();
        return false;
    }
    time_t inADay = time(nullptr) + 24 * 3600;
    return SilaIdentity::uuidInCertificate(certificatePem) == uuid &&
           X509_cmp_time(X509_get0_notAfter(cert.get()), &inADay) > 0;
}

} // namespace

QString SilaIdentity::defaultFolder()
{
    // Where QSettings keeps the program's settings, $XDG_CONFIG_HOME honoured.
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope,
                             InstanceSettings::organizationName(),
                             InstanceSettings::applicationName());
    return QFileInfo(settings.fileName()).absolutePath() + QStringLiteral("/sila");
}

bool SilaIdentity::load(const QString &folder, QString *error)
{
    const QByteArray path = QFile::encodeName(folder);
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("%1: cannot create the folder").arg(folder);
        return false;
    }
    // The key lives here: the folder is the user's alone too.
    if (::chmod(path.constData(), 0700) != 0) {
        *error = QStringLiteral("%1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    folderPath = folder;
    QString line;
    if (!readLine(folder + QLatin1Char('/') + UuidFile, &line, error))
        return false;
    if (line.isNull()) {
        line = QUuid::createUuid().toString(QUuid::WithoutBraces);
        if (!writeAtomically(folder + QLatin1Char('/') + UuidFile, line.toLatin1() + '\n', 0644,
                             error))
            return false;
    }
    const QUuid parsed(line);
    if (parsed.isNull() || line.size() != 36) {
        *error =
            QStringLiteral("%1/%2 holds \"%3\", not a UUID").arg(folder, UuidFile, line.left(40));
        return false;
    }
    serverUuid = parsed.toString(QUuid::WithoutBraces);
    if (!readLine(folder + QLatin1Char('/') + NameFile, &line, error))
        return false;
    if (line.isEmpty())
        return setName(defaultName(), error);
    if (line.size() > MaxNameLength) {
        *error = QStringLiteral("%1/%2 holds a name longer than %3 characters")
                     .arg(folder, NameFile)
                     .arg(MaxNameLength);
        return false;
    }
    // A name kept before its characters were refused goes back to the default rather than
    // reach the banner and the announcement again.
    if (!nameProblem(line).isEmpty())
        return setName(defaultName(), error);
    serverName = line;
    return true;
}

QString SilaIdentity::uuid() const
{
    return serverUuid;
}

QString SilaIdentity::name() const
{
    return serverName;
}

QString SilaIdentity::nameProblem(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > MaxNameLength)
        return QStringLiteral("a server name is one line of 1 to %1 characters").arg(MaxNameLength);
    const QVector<uint> characters = name.toUcs4();
    for (int i = 0; i < characters.size(); ++i) {
        switch (QChar::category(characters[i])) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return QStringLiteral("a server name holds no control or format characters, and "
                                  "character %1 is U+%2")
                .arg(i + 1)
                .arg(QString::number(characters[i], 16)
                         .toUpper()
                         .rightJustified(4, QLatin1Char('0')));
        default:
            break;
        }
    }
    return QString();
}

bool SilaIdentity::setName(const QString &name, QString *error)
{
    const QString problem = nameProblem(name);
    if (!problem.isEmpty()) {
        *error = problem;
        return false;
    }
    const QString trimmed = name.trimmed();
    if (folderPath.isEmpty()) {
        *error = QStringLiteral("no identity folder loaded");
        return false;
    }
    if (!writeAtomically(folderPath + QLatin1Char('/') + NameFile, trimmed.toUtf8() + '\n', 0644,
                         error))
        return false;
    serverName = trimmed;
    return true;
}

bool SilaIdentity::selfSigned(QByteArray *certificatePem, QByteArray *keyPem, QString *error)
{
    if (serverUuid.isEmpty()) {
        *error = QStringLiteral("no identity folder loaded");
        return false;
    }
    const QString certPath = folderPath + QLatin1Char('/') + CertificateFile;
    const QString keyPath = folderPath + QLatin1Char('/') + KeyFile;
    QFile certFile(certPath);
    QFile keyFile(keyPath);
    if (certFile.open(QIODevice::ReadOnly) && keyFile.open(QIODevice::ReadOnly)) {
        const QByteArray cert = certFile.read(1024 * 1024);
        const QByteArray key = keyFile.read(1024 * 1024);
        if (reusable(cert, key, serverUuid)) {
            *certificatePem = cert;
            *keyPem = key;
            return true;
        }
    }
    // None yet, or one for another UUID, broken or expiring: a new pair. The key goes first,
    // so a certificate on disk never names a key that is not there.
    QByteArray cert;
    QByteArray key;
    if (!makeCertificate(serverUuid, &cert, &key, error) ||
        !writeAtomically(keyPath, key, 0600, error) ||
        !writeAtomically(certPath, cert, 0644, error))
        return false;
    *certificatePem = cert;
    *keyPem = key;
    return true;
}

QString SilaIdentity::pairProblem(const QByteArray &certificatePem, const QByteArray &keyPem,
                                  const QString &certificatePath, const QString &keyPath)
{
    Cert cert = readCertificate(certificatePem);
    Pkey key = readKey(keyPem);
    QString problem;
    if (!cert)
        problem = QStringLiteral("%1 holds no PEM certificate").arg(certificatePath);
    else if (!key)
        problem = QStringLiteral("%1 holds no PEM private key (one with a passphrase is not "
                                 "taken)")
                      .arg(keyPath);
    else if (X509_check_private_key(cert.get(), key.get()) != 1)
        problem = QStringLiteral("the key %1 does not belong to the certificate %2")
                      .arg(keyPath, certificatePath);
    ERR_clear_error();
    return problem;
}

QString SilaIdentity::uuidInCertificate(const QByteArray &certificatePem)
{
    Cert cert = readCertificate(certificatePem);
    Obj oid(OBJ_txt2obj(UuidExtensionOid, 1));
    if (!cert || !oid) {
        ERR_clear_error();
        return QString();
    }
    const int index = X509_get_ext_by_OBJ(cert.get(), oid.get(), -1);
    X509_EXTENSION *extension = index < 0 ? nullptr : X509_get_ext(cert.get(), index);
    const ASN1_OCTET_STRING *data = extension ? X509_EXTENSION_get_data(extension) : nullptr;
    if (data == nullptr)
        return QString();
    QByteArray bytes(reinterpret_cast<const char *>(ASN1_STRING_get0_data(data)),
                     ASN1_STRING_length(data));
    // Some tools wrap the characters in a DER string (UTF8String, PrintableString, IA5String).
    const int tag = bytes.size() == 38 ? uchar(bytes.at(0)) : -1;
    if ((tag == 0x0c || tag == 0x13 || tag == 0x16) && bytes.at(1) == 36)
        bytes = bytes.mid(2);
    const QString text = QString::fromLatin1(bytes);
    return text.size() == 36 && !QUuid(text).isNull() ? text.toLower() : QString();
}
