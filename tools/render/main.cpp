// kelvarin-render INPUT OUTPUT: a performance rendered to an audio file.
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/tone_settings.h"
#include "platform/desktop/files/posix_file_system.h"
#include "tools/cli/input_file.h"
#include "tools/cli/output_file.h"
#include "tools/performance/performance_file.h"
#include "tools/render/audio_file.h"
#include "tools/render/offline_render.h"
#include "tools/render/progress.h"
#include "tools/render/render_options.h"

namespace {

constexpr int Failure = 1;
constexpr size_t BlocksPerWrite = 64;

int Fail(const std::string& what, const std::string& reason) {
    std::fprintf(stderr, "kelvarin-render: %s: %s\n", what.c_str(), reason.c_str());
    return Failure;
}

// The tone of the settings file named, or of ./Kelvarin.ini, or the first run's.
bool ReadTone(const std::optional<std::string>& path, app::Tone& tone, std::string& reason) {
    platform::desktop::PosixFileSystem files;
    if (!path) {
        app::SettingsFile settings(files);
        tone = app::ToneAt(app::ReadSliderPositions(settings));
        return true;
    }
    std::string unused;
    if (!cli::ReadInputFile(*path, unused, reason)) return false;
    app::SettingsFile settings(files, *path);
    if (!settings.SettingsFileExists()) {
        reason = "cannot be opened for reading";
        return false;
    }
    tone = app::ToneAt(app::ReadSliderPositions(settings));
    return true;
}

// At most, with the longest tail, at the output's rate.
uint64_t MostSamples(const render::OfflineRenderer& renderer, uint32_t rate) {
    const uint64_t blocks = renderer.LastEventBlock() + render::LongestTailBlocks;
    return blocks * synth::SamplesPerBlock * rate / render::EngineRate + 1;
}

int Render(const render::RenderOptions& options) {
    const std::optional<render::AudioType> type = render::AudioTypeOf(options.output);
    if (!type)
        return Fail(options.output,
                    "unknown extension: the output must end in .wav, .flac or .ogg");
    std::string bytes, reason;
    if (!cli::ReadInputFile(options.input, bytes, reason)) return Fail(options.input, reason);
    const performance::Reading reading = performance::ReadPerformance(bytes);
    if (!reading.error.empty()) return Fail(options.input, reading.error);
    if (reading.events.empty()) return Fail(options.input, "there is no note event to render");
    if (!render::RenderedSpanMs(reading.events, options.passes))
        return Fail(options.input, "the rendering would last more than 24 hours");
    app::Tone tone;
    if (!ReadTone(options.settings, tone, reason)) return Fail(*options.settings, reason);

    render::OfflineRenderer renderer(reading.events, tone, options.amplitude, options.passes);
    if (MostSamples(renderer, options.rate) > render::MostSamples(*type))
        return Fail(options.output,
                    "a WAV file cannot hold so long a rendering: write .flac or .ogg");

    const std::unique_ptr<cli::OutputFile> output = cli::OutputFile::Create(options.output, reason);
    if (!output) return Fail(options.output, reason);
    const std::unique_ptr<render::AudioWriter> audio =
        render::AudioWriter::Open(output->Descriptor(), *type, options.rate, reason);
    if (!audio) return Fail(options.output, reason);
    render::Progress progress(!options.quiet && isatty(STDERR_FILENO), renderer.LastEventBlock());
    std::vector<int16_t> samples(BlocksPerWrite * synth::SamplesPerBlock);
    for (bool more = true; more;) {
        size_t filled = 0;
        while (filled < samples.size() && (more = renderer.NextBlock(samples.data() + filled))) {
            filled += synth::SamplesPerBlock;
            progress.Update(renderer.BlocksRendered());
        }
        if (!audio->Write(samples.data(), filled, reason)) break;
    }
    const bool written = reason.empty() && audio->Finish(reason) && output->Commit(reason);
    progress.Finish(renderer.BlocksRendered());
    return written ? 0 : Fail(options.output, reason);
}

}  // namespace

int main(int argc, char** argv) {
    const render::RenderOptions options = render::ParseRenderOptions(argc, argv);
    switch (options.action) {
        case render::RenderOptions::Action::Help:
            std::fputs(render::RenderHelp, stdout);
            return 0;
        case render::RenderOptions::Action::Version:
            std::printf("kelvarin-render (Kelvarin) %s\n", KELVARIN_VERSION);
            return 0;
        case render::RenderOptions::Action::Refuse:
            std::fprintf(stderr, "kelvarin-render: %s (see kelvarin-render --help)\n",
                         options.problem.c_str());
            return Failure;
        case render::RenderOptions::Action::Render:
            break;
    }
    return Render(options);
}
