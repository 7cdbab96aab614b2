#include "core/jobs/stream_job.h"

#include "core/io/output_file.h"
#include "core/jobs/cipher_stream.h"

namespace ciphra {

CipherFormat FormatOfStream(File& input)
{
    return age::IsAgeFile(input) ? CipherFormat::Age : CipherFormat::Cph;
}

std::optional<age::Lock> LockOfStream(File& input)
{
    // LockOf reads from the start of the file and goes back there.
    if (!input.Seekable() || input.Position() != 0) {
        return std::nullopt;
    }
    return age::LockOf(input);
}

void TransformStream(const StreamJob& job, File& input, File& output, const KeyMaterial& key,
                     const age::Keys& keys)
{
    const bool encrypt = job.Direction == CipherDirection::Encrypt;
    if (job.Format == CipherFormat::Age) {
        if (encrypt) {
            age::EncryptStream(input, output, keys, nullptr);
        } else {
            age::DecryptStream(input, output, keys, nullptr);
        }
        return;
    }
    CipherRun run(key.Bytes, key.Length);
    if (encrypt) {
        EncryptStream(run.Context(), input, output, nullptr, InOrder);
    } else {
        DecryptStream(run.Context(), input, output, nullptr, InOrder);
    }
}

bool TransformStreamInto(const StreamJob& job, File& input, const std::string& outputPath,
                         ExistingOutput existing, mode_t permissions, const KeyMaterial& key,
                         const age::Keys& keys)
{
    OutputFile output(outputPath);
    TransformStream(job, input, output.Handle(), key, keys);
    output.Finish(permissions);
    if (existing == ExistingOutput::Replace) {
        output.PublishReplacing();
        return true;
    }
    return output.PublishNew();
}

} // namespace ciphra
