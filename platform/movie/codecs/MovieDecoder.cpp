// Movie decoding: libavformat reads the container through an I/O context
// on the caller's source, libavcodec decodes, libswscale turns pictures
// into ARGB and libswresample turns sound into 16-bit samples.

#include "platform/movie/codecs/MovieCodecs.h"

#include <algorithm>
#include <mutex>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr int kIoBufferSize = 32 * 1024;

// What the game plays: MPEG program streams (and bare MPEG video) in ".mpg"
// files, AVI files, with the video and sound codecs of their time. Nothing
// else is even probed, so a file cannot reach the rest of the library's
// demuxers and decoders.
constexpr const char* kPlayedFormats = "mpeg,mpegvideo,avi";
constexpr AVCodecID kPlayedCodecs[] = {
    AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_MPEG4,     AV_CODEC_ID_MSMPEG4V1,
    AV_CODEC_ID_MSMPEG4V2,  AV_CODEC_ID_MSMPEG4V3,  AV_CODEC_ID_CINEPAK,   AV_CODEC_ID_MSVIDEO1,
    AV_CODEC_ID_MJPEG,      AV_CODEC_ID_RAWVIDEO,   AV_CODEC_ID_MP1,       AV_CODEC_ID_MP2,
    AV_CODEC_ID_MP3,        AV_CODEC_ID_PCM_S16LE,  AV_CODEC_ID_PCM_U8,    AV_CODEC_ID_ADPCM_MS,
    AV_CODEC_ID_ADPCM_IMA_WAV,
};

bool Played(AVCodecID id) {
    return std::find(std::begin(kPlayedCodecs), std::end(kPlayedCodecs), id) != std::end(kPlayedCodecs);
}

// The same list by the names of every decoder of those codecs, as the
// library takes it.
std::string PlayedCodecNames() {
    std::string names;
    void* at = nullptr;
    while (const AVCodec* codec = av_codec_iterate(&at)) {
        if (!av_codec_is_decoder(codec) || !Played(codec->id)) continue;
        if (!names.empty()) names += ',';
        names += codec->name;
    }
    return names;
}

bool FrameSizePlayed(int width, int height) {
    return width > 0 && height > 0 && static_cast<uint32_t>(width) <= kMovieMaxSide &&
           static_cast<uint32_t>(height) <= kMovieMaxSide &&
           static_cast<uint64_t>(width) * static_cast<uint64_t>(height) <= kMovieMaxPixels;
}

// Start codes in MPEG streams: 00 00 01 and a code byte.
bool StartCodeAt(const std::vector<uint8_t>& bytes, size_t at) {
    return at + 4 <= bytes.size() && bytes[at] == 0 && bytes[at + 1] == 0 && bytes[at + 2] == 1;
}

// The video of an MPEG program stream as one elementary stream: the
// payloads of its video packets one after another. A stream without pack
// headers is taken as video throughout.
std::vector<uint8_t> MpegVideoBytes(const std::vector<uint8_t>& bytes) {
    size_t at = 0;
    while (at + 4 <= bytes.size() && !StartCodeAt(bytes, at)) ++at;
    if (!StartCodeAt(bytes, at) || bytes[at + 3] != 0xBA) return bytes;
    std::vector<uint8_t> video;
    while (at + 4 <= bytes.size()) {
        // Between packets the demuxer looks for the next start code; so does this.
        if (!StartCodeAt(bytes, at)) {
            ++at;
            continue;
        }
        const uint8_t code = bytes[at + 3];
        if (code == 0xBA) {
            // MPEG-2 pack headers have 14 bytes and their stuffing, MPEG-1 ones 12.
            const bool mpeg2 = at + 14 <= bytes.size() && (bytes[at + 4] & 0xC0) == 0x40;
            at += mpeg2 ? 14 + (bytes[at + 13] & 7u) : 12;
            continue;
        }
        if (code < 0xBB || at + 6 > bytes.size()) {
            at += 4;
            continue;
        }
        const size_t end = std::min(bytes.size(), at + 6 + (size_t{bytes[at + 4]} << 8 | bytes[at + 5]));
        if (code >= 0xE0 && code <= 0xEF) {
            size_t payload = at + 6;
            if (payload < end && (bytes[payload] & 0xC0) == 0x80) {
                // MPEG-2: three bytes of flags and the header's own length.
                payload = payload + 3 <= end ? payload + 3 + bytes[payload + 2] : end;
            } else {
                // MPEG-1: stuffing, the buffer size, then no time, one or two.
                while (payload < end && bytes[payload] == 0xFF) ++payload;
                if (payload < end && (bytes[payload] & 0xC0) == 0x40) payload += 2;
                if (payload < end) {
                    const uint8_t times = bytes[payload] & 0xF0;
                    payload += times == 0x20 ? 5 : times == 0x30 ? 10 : 1;
                }
            }
            if (payload < end)
                video.insert(video.end(), bytes.begin() + static_cast<std::ptrdiff_t>(payload),
                             bytes.begin() + static_cast<std::ptrdiff_t>(end));
        }
        at = end;
    }
    return video;
}

// MPEG program streams name their streams only as packets come, so the
// video's size is known only once the decoders that look for the streams'
// details have made room for a picture. The sequence headers in the video
// that looking reads give it first: 12 bits a side, and 2 more each in an
// MPEG-2 sequence extension. AVI files (RIFF) say their sizes in their
// header instead. False when a header gives a size the game does not play;
// the source is back at its start after.
bool MpegSequencesPlayed(MovieSource* source, int64_t bytes) {
    std::vector<uint8_t> file(static_cast<size_t>(std::clamp<int64_t>(source->GetSize(), 0, bytes)));
    size_t read = 0;
    while (read < file.size()) {
        const size_t chunk = std::min<size_t>(file.size() - read, 1 << 20);
        const int got = source->Read(file.data() + read, static_cast<int>(chunk));
        if (got <= 0) break;
        read += static_cast<size_t>(got);
    }
    file.resize(read);
    const bool riff = file.size() >= 4 && std::equal(file.begin(), file.begin() + 4, "RIFF");
    const std::vector<uint8_t> video = riff ? std::vector<uint8_t>() : MpegVideoBytes(file);
    uint32_t width = 0, height = 0;
    bool played = true;
    for (size_t i = 0; i + 7 <= video.size() && played; ++i) {
        if (!StartCodeAt(video, i)) continue;
        const uint8_t* p = &video[i + 4];
        if (video[i + 3] == 0xB3) {
            width = uint32_t{p[0]} << 4 | p[1] >> 4;
            height = (uint32_t{p[1]} & 15) << 8 | p[2];
            played = FrameSizePlayed(static_cast<int>(width), static_cast<int>(height));
        } else if (video[i + 3] == 0xB5 && p[0] >> 4 == 1) {
            const uint32_t wide = (p[1] & 1u) << 1 | p[2] >> 7, tall = (p[2] >> 5) & 3u;
            played = FrameSizePlayed(static_cast<int>(width | wide << 12), static_cast<int>(height | tall << 12));
        }
    }
    return source->Seek(0, 0) == 0 && played;
}

// A movie's file is its only source: a container that names other files
// or addresses (playlists, references, network streams) is not followed.
int RefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) { return AVERROR(EPERM); }

std::string ErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

int ReadSource(void* opaque, uint8_t* buffer, int size) {
    const int read = static_cast<MovieSource*>(opaque)->Read(buffer, size);
    if (read < 0) return AVERROR(EIO);
    return read == 0 ? AVERROR_EOF : read;
}

int64_t SeekSource(void* opaque, int64_t offset, int whence) {
    auto* source = static_cast<MovieSource*>(opaque);
    if (whence & AVSEEK_SIZE) return source->GetSize();
    const int64_t position = source->Seek(offset, whence & ~AVSEEK_FORCE);
    return position < 0 ? AVERROR(EIO) : position;
}

// One decoded stream with its codec.
struct StreamDecoder {
    int index = -1;
    AVCodecContext* codec = nullptr;
    AVRational timeBase{1, 1};
    bool drained = false;

    ~StreamDecoder() { avcodec_free_context(&codec); }
    bool Active() const { return codec != nullptr; }
};

bool OpenDecoder(AVFormatContext* format, AVMediaType type, StreamDecoder* decoder, std::string* error) {
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(format, type, -1, -1, &codec, 0);
    if (index < 0 || codec == nullptr) return false;
    AVStream* stream = format->streams[index];
    if (!Played(codec->id)) {
        *error = std::string("a codec the game does not play: ") + codec->name;
        return false;
    }
    if (type == AVMEDIA_TYPE_VIDEO && !FrameSizePlayed(stream->codecpar->width, stream->codecpar->height)) {
        *error = "movie frames too large";
        return false;
    }
    decoder->codec = avcodec_alloc_context3(codec);
    if (decoder->codec == nullptr || avcodec_parameters_to_context(decoder->codec, stream->codecpar) < 0) {
        *error = "cannot set up the decoder";
        avcodec_free_context(&decoder->codec);
        return false;
    }
    // Our own worker is the movie's thread.
    decoder->codec->thread_count = 1;
    // A stream that changes to a larger frame later on is refused there too.
    decoder->codec->max_pixels = static_cast<int64_t>(kMovieMaxPixels);
    const int result = avcodec_open2(decoder->codec, codec, nullptr);
    if (result < 0) {
        *error = "cannot open the decoder: " + ErrorText(result);
        avcodec_free_context(&decoder->codec);
        return false;
    }
    decoder->index = index;
    decoder->timeBase = stream->time_base;
    return true;
}

// What a movie being decoded holds.
struct DecoderState {
    std::unique_ptr<MovieSource> source;
    AVFormatContext* format = nullptr;
    AVIOContext* io = nullptr;
    StreamDecoder video, audio;
    SwsContext* scaler = nullptr;
    SwrContext* resampler = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int64_t startTime = 0;  // in AV_TIME_BASE units
    bool flushing = false;
    uint32_t audioChannels = 0;
    int audioRate = 0;  // of the samples given out, as the movie announced it
    // What the resampler was made for.
    int resampledFormat = -1;
    int resampledRate = 0;
    AVChannelLayout resampledLayout{};
    double frameRate = 0.0;
    double lastVideoTime = -1.0;

    ~DecoderState() {
        sws_freeContext(scaler);
        swr_free(&resampler);
        av_channel_layout_uninit(&resampledLayout);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avformat_close_input(&format);
        if (io != nullptr) av_freep(&io->buffer);
        avio_context_free(&io);
    }

    double Seconds(const StreamDecoder& decoder, int64_t timestamp) const {
        if (timestamp == AV_NOPTS_VALUE) return 0.0;
        const double start = startTime == AV_NOPTS_VALUE ? 0.0 : static_cast<double>(startTime) / AV_TIME_BASE;
        return std::max(0.0, timestamp * av_q2d(decoder.timeBase) - start);
    }

    bool ConvertVideo(MovieVideoFrame* out) {
        const int width = frame->width, height = frame->height;
        if (!FrameSizePlayed(width, height)) return false;
        scaler = sws_getCachedContext(scaler, width, height, static_cast<AVPixelFormat>(frame->format), width, height,
                                      AV_PIX_FMT_BGRA, SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
        if (scaler == nullptr) return false;
        out->width = static_cast<uint32_t>(width);
        out->height = static_cast<uint32_t>(height);
        out->pixels.resize(static_cast<size_t>(width) * height);
        // B, G, R, A bytes are ARGB words.
        uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(out->pixels.data()), nullptr, nullptr, nullptr};
        int strides[4] = {width * 4, 0, 0, 0};
        sws_scale(scaler, frame->data, frame->linesize, 0, height, planes, strides);
        // A frame without its own time stamp (AVI stores none past the
        // first) follows the one before; a guess from decoding times would
        // be off by the decoder's delay.
        const double step = frameRate > 0.0 ? 1.0 / frameRate : 0.0;
        out->time = frame->pts == AV_NOPTS_VALUE ? std::max(0.0, lastVideoTime + step) : Seconds(video, frame->pts);
        lastVideoTime = out->time;
        return true;
    }

    bool ConvertAudio(MovieAudioChunk* out) {
        if (frame->ch_layout.nb_channels <= 0 || frame->sample_rate <= 0 || frame->nb_samples <= 0) return false;
        // A stream may change its layout, sample format or rate from one
        // frame to the next: the resampler is made again for the frame, and
        // its output stays at the rate and channels the movie announced.
        const bool same = resampler != nullptr && resampledFormat == frame->format &&
                          resampledRate == frame->sample_rate &&
                          av_channel_layout_compare(&resampledLayout, &frame->ch_layout) == 0;
        if (!same) {
            swr_free(&resampler);
            av_channel_layout_uninit(&resampledLayout);
            AVChannelLayout layout{};
            av_channel_layout_default(&layout, static_cast<int>(audioChannels));
            const int result = swr_alloc_set_opts2(&resampler, &layout, AV_SAMPLE_FMT_S16, audioRate,
                                                   &frame->ch_layout, static_cast<AVSampleFormat>(frame->format),
                                                   frame->sample_rate, 0, nullptr);
            av_channel_layout_uninit(&layout);
            if (result < 0 || swr_init(resampler) < 0 ||
                av_channel_layout_copy(&resampledLayout, &frame->ch_layout) < 0) {
                swr_free(&resampler);
                return false;
            }
            resampledFormat = frame->format;
            resampledRate = frame->sample_rate;
        }
        const int capacity = swr_get_out_samples(resampler, frame->nb_samples);
        out->samples.resize(static_cast<size_t>(std::max(capacity, 0)) * audioChannels);
        uint8_t* target = reinterpret_cast<uint8_t*>(out->samples.data());
        const int converted = swr_convert(resampler, &target, capacity,
                                          const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
        if (converted < 0) return false;
        out->samples.resize(static_cast<size_t>(converted) * audioChannels);
        out->time = Seconds(audio, frame->best_effort_timestamp);
        return true;
    }

    // A frame the decoder has ready; false when it needs input or is drained.
    bool Receive(StreamDecoder& decoder) {
        if (!decoder.Active() || decoder.drained) return false;
        const int result = avcodec_receive_frame(decoder.codec, frame);
        if (result == AVERROR_EOF) decoder.drained = true;
        return result == 0;
    }

    bool Drained() const { return (!video.Active() || video.drained) && (!audio.Active() || audio.drained); }
};

class FfmpegMovie : public PlatformMovie {
public:
    FfmpegMovie(std::unique_ptr<DecoderState> state, const MovieInfo& info) : m_Impl(std::move(state)), m_Info(info) {}
    const MovieInfo& GetInfo() const override { return m_Info; }
    MovieRead ReadNext(MovieVideoFrame* video, MovieAudioChunk* audio) override;
    bool Rewind() override;

private:
    std::unique_ptr<DecoderState> m_Impl;
    MovieInfo m_Info;
};

}  // namespace

void MovieCodecs_QuietLibrary() {
    // The game shows no library messages; failures come back as results.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
}

extern "C" PlatformMovie* MovieCodecs_Open(MovieSource* sourcePointer, bool withAudio, std::string* error) {
    std::unique_ptr<MovieSource> source(sourcePointer);
    MovieCodecs_QuietLibrary();
    if (source == nullptr) {
        *error = "no movie file";
        return nullptr;
    }
    auto impl = std::make_unique<DecoderState>();
    impl->source = std::move(source);
    // As far as the library looks for the streams' details by default.
    constexpr int64_t kLookedAt = 5000000;
    if (!MpegSequencesPlayed(impl->source.get(), kLookedAt)) {
        *error = "movie frames too large";
        return nullptr;
    }
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
    impl->io = avio_alloc_context(buffer, kIoBufferSize, 0, impl->source.get(), ReadSource, nullptr, SeekSource);
    impl->format = avformat_alloc_context();
    impl->packet = av_packet_alloc();
    impl->frame = av_frame_alloc();
    if (buffer == nullptr || impl->io == nullptr || impl->format == nullptr || impl->packet == nullptr ||
        impl->frame == nullptr) {
        if (impl->io == nullptr) av_free(buffer);
        *error = "out of memory";
        return nullptr;
    }
    impl->format->pb = impl->io;
    impl->format->flags |= AVFMT_FLAG_CUSTOM_IO;
    impl->format->probesize = kLookedAt;
    impl->format->io_open = RefuseNestedOpen;
    impl->format->format_whitelist = av_strdup(kPlayedFormats);
    impl->format->codec_whitelist = av_strdup(PlayedCodecNames().c_str());
    // No protocol at all: every byte comes through the source.
    impl->format->protocol_whitelist = av_strdup("none");
    if (impl->format->format_whitelist == nullptr || impl->format->codec_whitelist == nullptr ||
        impl->format->protocol_whitelist == nullptr) {
        *error = "out of memory";
        return nullptr;
    }
    int result = avformat_open_input(&impl->format, nullptr, nullptr, nullptr);
    if (result < 0) {
        *error = "not a movie file: " + ErrorText(result);
        return nullptr;
    }
    // Streams the container names at once (AVI) say their size in its header.
    bool played = true;
    for (unsigned i = 0; i < impl->format->nb_streams; ++i) {
        const AVCodecParameters* codec = impl->format->streams[i]->codecpar;
        if (codec->codec_type == AVMEDIA_TYPE_VIDEO && (codec->width != 0 || codec->height != 0))
            played = played && FrameSizePlayed(codec->width, codec->height);
    }
    if (!played) {
        *error = "movie frames too large";
        return nullptr;
    }
    // The decoders that read the first frames for the streams' details
    // refuse frames beyond the size too, before making room for them.
    std::vector<AVDictionary*> streamOptions(impl->format->nb_streams, nullptr);
    for (AVDictionary*& options : streamOptions)
        av_dict_set_int(&options, "max_pixels", static_cast<int64_t>(kMovieMaxPixels), 0);
    result = avformat_find_stream_info(impl->format, streamOptions.data());
    for (AVDictionary*& options : streamOptions) av_dict_free(&options);
    if (result < 0) {
        *error = "cannot read the movie's streams: " + ErrorText(result);
        return nullptr;
    }
    OpenDecoder(impl->format, AVMEDIA_TYPE_VIDEO, &impl->video, error);
    if (withAudio) OpenDecoder(impl->format, AVMEDIA_TYPE_AUDIO, &impl->audio, error);
    if (!impl->video.Active() && !impl->audio.Active()) {
        if (error->empty()) *error = "no video or audio track";
        return nullptr;
    }
    error->clear();
    // Packets of streams without a decoder are not even demuxed.
    for (unsigned i = 0; i < impl->format->nb_streams; ++i) {
        if (static_cast<int>(i) != impl->video.index && static_cast<int>(i) != impl->audio.index)
            impl->format->streams[i]->discard = AVDISCARD_ALL;
    }
    // Time runs from the start of the earliest stream decoded.
    impl->startTime = AV_NOPTS_VALUE;
    for (const StreamDecoder* decoder : {&impl->video, &impl->audio}) {
        if (!decoder->Active()) continue;
        const AVStream* stream = impl->format->streams[decoder->index];
        if (stream->start_time == AV_NOPTS_VALUE) continue;
        const int64_t start = av_rescale_q(stream->start_time, stream->time_base, AV_TIME_BASE_Q);
        if (impl->startTime == AV_NOPTS_VALUE || start < impl->startTime) impl->startTime = start;
    }
    if (impl->startTime == AV_NOPTS_VALUE) impl->startTime = impl->format->start_time;

    MovieInfo info;
    if (impl->video.Active()) {
        info.hasVideo = true;
        info.width = static_cast<uint32_t>(impl->video.codec->width);
        info.height = static_cast<uint32_t>(impl->video.codec->height);
        const AVRational rate = impl->format->streams[impl->video.index]->avg_frame_rate;
        info.frameRate = rate.den != 0 ? av_q2d(rate) : 0.0;
        impl->frameRate = info.frameRate;
    }
    if (impl->audio.Active()) {
        info.hasAudio = true;
        info.audioRate = static_cast<uint32_t>(impl->audio.codec->sample_rate);
        impl->audioRate = impl->audio.codec->sample_rate;
        impl->audioChannels = std::min(2u, static_cast<uint32_t>(std::max(1, impl->audio.codec->ch_layout.nb_channels)));
        info.audioChannels = impl->audioChannels;
    }
    if (impl->format->duration != AV_NOPTS_VALUE && impl->format->duration > 0)
        info.duration = static_cast<double>(impl->format->duration) / AV_TIME_BASE;
    return new FfmpegMovie(std::move(impl), info);
}

MovieRead FfmpegMovie::ReadNext(MovieVideoFrame* video, MovieAudioChunk* audio) {
    DecoderState& m = *m_Impl;
    for (;;) {
        if (m.Receive(m.video)) {
            const bool converted = m.ConvertVideo(video);
            av_frame_unref(m.frame);
            if (converted) return MOVIE_READ_VIDEO;
            continue;
        }
        if (m.Receive(m.audio)) {
            const bool converted = m.ConvertAudio(audio);
            av_frame_unref(m.frame);
            if (converted) return MOVIE_READ_AUDIO;
            continue;
        }
        if (m.Drained()) return MOVIE_READ_END;
        if (m.flushing) {
            // A decoder that still holds frames after its flush cannot give them.
            m.video.drained = m.audio.drained = true;
            continue;
        }
        const int result = av_read_frame(m.format, m.packet);
        if (result < 0) {
            // The end of the file, or damage that cannot be read past: the
            // decoders give up what they hold.
            for (StreamDecoder* decoder : {&m.video, &m.audio})
                if (decoder->Active()) avcodec_send_packet(decoder->codec, nullptr);
            m.flushing = true;
            continue;
        }
        for (StreamDecoder* decoder : {&m.video, &m.audio}) {
            // A packet the decoder refuses (damaged data) is skipped.
            if (decoder->Active() && m.packet->stream_index == decoder->index)
                avcodec_send_packet(decoder->codec, m.packet);
        }
        av_packet_unref(m.packet);
    }
}

bool FfmpegMovie::Rewind() {
    DecoderState& m = *m_Impl;
    // The first byte is the start wherever the container allows it; others
    // seek to their first time stamp.
    int result = -1;
    if (!(m.format->iformat->flags & AVFMT_NO_BYTE_SEEK)) result = av_seek_frame(m.format, -1, 0, AVSEEK_FLAG_BYTE);
    if (result < 0)
        result = av_seek_frame(m.format, -1, m.startTime == AV_NOPTS_VALUE ? 0 : m.startTime, AVSEEK_FLAG_BACKWARD);
    if (result < 0) return false;
    m.lastVideoTime = -1.0;
    for (StreamDecoder* decoder : {&m.video, &m.audio}) {
        if (!decoder->Active()) continue;
        avcodec_flush_buffers(decoder->codec);
        decoder->drained = false;
    }
    m.flushing = false;
    return true;
}
