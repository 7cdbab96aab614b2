#include "cli/cipher_request.h"
#include "cli/password.h"
#include "core/jobs/age_keys.h"

namespace ciphra::cli {

namespace {

std::vector<age::Recipient> RecipientsOf(const CipherRequest& request)
{
    std::vector<age::Recipient> recipients;
    for (const std::string& text : request.Recipients) {
        const std::optional<age::Recipient> recipient = age::ParseRecipient(text);
        if (!recipient) {
            throw Exception(text + ": not an age recipient (age1...)");
        }
        recipients.push_back(*recipient);
    }
    for (const std::string& path : request.RecipientsFiles) {
        const std::vector<age::Recipient> listed = age::ReadRecipientsFile(path);
        recipients.insert(recipients.end(), listed.begin(), listed.end());
    }
    return recipients;
}

} // namespace

void ObtainCipherKeys(const CipherRequest& request, bool needsPassword, CliIo& io, CipherKeys& keys)
{
    keys.Age.Armor = request.Line.Has("--armor");
    keys.Age.Recipients = RecipientsOf(request);
    for (const std::string& path : request.IdentityFiles) {
        std::vector<age::Identity> identities = age::ReadIdentityFile(path);
        keys.Age.Identities.insert(keys.Age.Identities.end(), identities.begin(), identities.end());
    }
    if (needsPassword) {
        ObtainPassword(request.Line.PasswordFile, io.Prompt, keys.Password,
                       request.Encrypt() ? Confirmation::Twice : Confirmation::Once);
        MakeKeyMaterial(keys.Password.View(), !request.Line.Has("--raw-key"), keys.Key);
        keys.Age.Password = keys.Password.View();
    }
}

} // namespace ciphra::cli
