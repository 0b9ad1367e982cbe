// Movie decoding: libavformat reads the container through an I/O context
// on the caller's source, libavcodec decodes, libswscale turns pictures
// into ARGB and libswresample turns sound into 16-bit samples.

#include "platform/movie/codecs/MovieCodecs.h"

#include <algorithm>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr int kIoBufferSize = 32 * 1024;

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
    decoder->codec = avcodec_alloc_context3(codec);
    if (decoder->codec == nullptr || avcodec_parameters_to_context(decoder->codec, stream->codecpar) < 0) {
        *error = "cannot set up the decoder";
        avcodec_free_context(&decoder->codec);
        return false;
    }
    // Our own worker is the movie's thread.
    decoder->codec->thread_count = 1;
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
    double frameRate = 0.0;
    double lastVideoTime = -1.0;

    ~DecoderState() {
        sws_freeContext(scaler);
        swr_free(&resampler);
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
        if (resampler == nullptr) {
            AVChannelLayout layout{};
            av_channel_layout_default(&layout, static_cast<int>(audioChannels));
            const int result = swr_alloc_set_opts2(&resampler, &layout, AV_SAMPLE_FMT_S16, frame->sample_rate,
                                                   &frame->ch_layout, static_cast<AVSampleFormat>(frame->format),
                                                   frame->sample_rate, 0, nullptr);
            av_channel_layout_uninit(&layout);
            if (result < 0 || swr_init(resampler) < 0) {
                swr_free(&resampler);
                return false;
            }
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
    int result = avformat_open_input(&impl->format, nullptr, nullptr, nullptr);
    if (result < 0) {
        *error = "not a movie file: " + ErrorText(result);
        return nullptr;
    }
    result = avformat_find_stream_info(impl->format, nullptr);
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
