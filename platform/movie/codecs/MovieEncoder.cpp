// Movie writing with libavcodec's MPEG-1 video and MP2 audio encoders.

#include "platform/movie/codecs/MovieCodecs.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace {

std::string ErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

struct Encoder {
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    int64_t next = 0;  // pts of the next frame, in the codec's time base

    ~Encoder() {
        avcodec_free_context(&codec);
        av_frame_free(&frame);
    }
};

// What a movie being written holds.
struct EncoderState {
    MovieWriteSettings settings;
    AVFormatContext* format = nullptr;
    Encoder video, audio;
    SwsContext* scaler = nullptr;
    AVPacket* packet = nullptr;
    std::vector<int16_t> pendingAudio;
    bool headerWritten = false;
    bool failed = false;

    ~EncoderState() {
        sws_freeContext(scaler);
        av_packet_free(&packet);
        if (format != nullptr) {
            if (format->pb != nullptr) avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    // Sends a frame (null: flush) and writes every packet it gives.
    bool Encode(Encoder& encoder, AVFrame* frame) {
        if (avcodec_send_frame(encoder.codec, frame) < 0) return false;
        for (;;) {
            const int result = avcodec_receive_packet(encoder.codec, packet);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
            if (result < 0) return false;
            // Without B-frames the decoding order is the display order; the
            // encoder's one-frame delay would otherwise put every AVI frame
            // in the slot after its own.
            if (encoder.codec->codec_type == AVMEDIA_TYPE_VIDEO && encoder.codec->max_b_frames == 0)
                packet->dts = packet->pts;
            av_packet_rescale_ts(packet, encoder.codec->time_base, encoder.stream->time_base);
            packet->stream_index = encoder.stream->index;
            if (av_interleaved_write_frame(format, packet) < 0) return false;
        }
    }

    bool EncodeAudioFrames(bool flushTail) {
        const size_t channels = settings.audioChannels;
        const size_t frameSize = static_cast<size_t>(audio.codec->frame_size);
        while (pendingAudio.size() >= frameSize * channels || (flushTail && !pendingAudio.empty())) {
            if (av_frame_make_writable(audio.frame) < 0) return false;
            const size_t take = std::min(pendingAudio.size(), frameSize * channels);
            std::memset(audio.frame->data[0], 0, frameSize * channels * sizeof(int16_t));
            std::memcpy(audio.frame->data[0], pendingAudio.data(), take * sizeof(int16_t));
            pendingAudio.erase(pendingAudio.begin(), pendingAudio.begin() + static_cast<std::ptrdiff_t>(take));
            audio.frame->pts = audio.next;
            audio.next += static_cast<int64_t>(frameSize);
            if (!Encode(audio, audio.frame)) return false;
        }
        return true;
    }
};

class FfmpegMovieWriter : public PlatformMovieWriter {
public:
    explicit FfmpegMovieWriter(std::unique_ptr<EncoderState> state) : m_Impl(std::move(state)) {}
    bool AddVideoFrame(const uint32_t* pixels) override;
    bool AddAudio(const int16_t* samples, size_t frames) override;
    bool Finish() override;

private:
    std::unique_ptr<EncoderState> m_Impl;
};

}  // namespace

extern "C" PlatformMovieWriter* MovieCodecs_CreateWriter(const std::string& path, const MovieWriteSettings& settings,
                                                         std::string* error) {
    MovieCodecs_QuietLibrary();
    auto impl = std::make_unique<EncoderState>();
    EncoderState& m = *impl;
    m.settings = settings;
    const bool avi = path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".avi") == 0;
    int result = avformat_alloc_output_context2(&m.format, nullptr, avi ? "avi" : "mpeg", path.c_str());
    m.packet = av_packet_alloc();
    // Small packs, so the packets of the two streams lie close together in
    // the file even when the pictures compress to a few bytes: the program
    // stream writer holds a stream back until a whole pack of it is ready.
    if (result >= 0 && !avi) m.format->packet_size = 256;
    if (result < 0 || m.packet == nullptr) {
        *error = "cannot make the movie container";
        return nullptr;
    }

    const AVCodec* videoCodec = avcodec_find_encoder(AV_CODEC_ID_MPEG1VIDEO);
    m.video.codec = videoCodec ? avcodec_alloc_context3(videoCodec) : nullptr;
    if (m.video.codec == nullptr) {
        *error = "no MPEG-1 video encoder";
        return nullptr;
    }
    AVCodecContext* v = m.video.codec;
    v->width = static_cast<int>(settings.width);
    v->height = static_cast<int>(settings.height);
    v->time_base = AVRational{1, static_cast<int>(settings.frameRate)};
    v->framerate = AVRational{static_cast<int>(settings.frameRate), 1};
    v->pix_fmt = AV_PIX_FMT_YUV420P;
    v->gop_size = 12;
    // AVI keeps no presentation times, so its frames go in display order.
    v->max_b_frames = avi ? 0 : static_cast<int>(settings.bFrames);
    // A fixed quantiser fine enough for flat colours to stay close to what
    // was written, coarse enough for a cut between two colours to fit the
    // coefficients of a predicted frame.
    v->flags |= AV_CODEC_FLAG_QSCALE;
    v->global_quality = FF_QP2LAMBDA * 5;
    if (m.format->oformat->flags & AVFMT_GLOBALHEADER) v->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    result = avcodec_open2(v, videoCodec, nullptr);
    if (result < 0) {
        *error = "cannot open the video encoder: " + ErrorText(result);
        return nullptr;
    }
    m.video.stream = avformat_new_stream(m.format, nullptr);
    m.video.frame = av_frame_alloc();
    if (m.video.stream == nullptr || m.video.frame == nullptr) {
        *error = "out of memory";
        return nullptr;
    }
    avcodec_parameters_from_context(m.video.stream->codecpar, v);
    m.video.stream->time_base = v->time_base;
    m.video.frame->format = v->pix_fmt;
    m.video.frame->width = v->width;
    m.video.frame->height = v->height;
    if (av_frame_get_buffer(m.video.frame, 0) < 0) {
        *error = "out of memory";
        return nullptr;
    }
    m.scaler = sws_getContext(v->width, v->height, AV_PIX_FMT_BGRA, v->width, v->height, AV_PIX_FMT_YUV420P,
                              SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);

    if (settings.withAudio) {
        const AVCodec* audioCodec = avcodec_find_encoder(AV_CODEC_ID_MP2);
        m.audio.codec = audioCodec ? avcodec_alloc_context3(audioCodec) : nullptr;
        if (m.audio.codec == nullptr) {
            *error = "no MP2 audio encoder";
            return nullptr;
        }
        AVCodecContext* a = m.audio.codec;
        a->sample_fmt = AV_SAMPLE_FMT_S16;
        a->sample_rate = static_cast<int>(settings.audioRate);
        av_channel_layout_default(&a->ch_layout, static_cast<int>(settings.audioChannels));
        a->bit_rate = 64000 * static_cast<int64_t>(settings.audioChannels);
        a->time_base = AVRational{1, a->sample_rate};
        if (m.format->oformat->flags & AVFMT_GLOBALHEADER) a->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        result = avcodec_open2(a, audioCodec, nullptr);
        if (result < 0) {
            *error = "cannot open the audio encoder: " + ErrorText(result);
            return nullptr;
        }
        m.audio.stream = avformat_new_stream(m.format, nullptr);
        m.audio.frame = av_frame_alloc();
        if (m.audio.stream == nullptr || m.audio.frame == nullptr) {
            *error = "out of memory";
            return nullptr;
        }
        avcodec_parameters_from_context(m.audio.stream->codecpar, a);
        m.audio.stream->time_base = a->time_base;
        m.audio.frame->format = a->sample_fmt;
        m.audio.frame->sample_rate = a->sample_rate;
        m.audio.frame->nb_samples = a->frame_size;
        av_channel_layout_copy(&m.audio.frame->ch_layout, &a->ch_layout);
        if (av_frame_get_buffer(m.audio.frame, 0) < 0) {
            *error = "out of memory";
            return nullptr;
        }
    }

    if (m.scaler == nullptr) {
        *error = "cannot convert pictures for the encoder";
        return nullptr;
    }
    result = avio_open(&m.format->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (result < 0) {
        *error = "cannot write " + path + ": " + ErrorText(result);
        return nullptr;
    }
    result = avformat_write_header(m.format, nullptr);
    if (result < 0) {
        *error = "cannot write the movie header: " + ErrorText(result);
        return nullptr;
    }
    m.headerWritten = true;
    return new FfmpegMovieWriter(std::move(impl));
}

bool FfmpegMovieWriter::AddVideoFrame(const uint32_t* pixels) {
    EncoderState& m = *m_Impl;
    if (m.failed || av_frame_make_writable(m.video.frame) < 0) {
        m.failed = true;
        return false;
    }
    const uint8_t* planes[4] = {reinterpret_cast<const uint8_t*>(pixels), nullptr, nullptr, nullptr};
    const int strides[4] = {static_cast<int>(m.settings.width * 4), 0, 0, 0};
    sws_scale(m.scaler, planes, strides, 0, static_cast<int>(m.settings.height), m.video.frame->data,
              m.video.frame->linesize);
    m.video.frame->pts = m.video.next++;
    m.video.frame->quality = m.video.codec->global_quality;
    if (!m.Encode(m.video, m.video.frame)) m.failed = true;
    return !m.failed;
}

bool FfmpegMovieWriter::AddAudio(const int16_t* samples, size_t frames) {
    EncoderState& m = *m_Impl;
    if (m.failed || m.audio.codec == nullptr) return false;
    m.pendingAudio.insert(m.pendingAudio.end(), samples, samples + frames * m.settings.audioChannels);
    if (!m.EncodeAudioFrames(false)) m.failed = true;
    return !m.failed;
}

bool FfmpegMovieWriter::Finish() {
    EncoderState& m = *m_Impl;
    if (!m.headerWritten) return false;
    if (!m.failed && m.audio.codec != nullptr && (!m.EncodeAudioFrames(true) || !m.Encode(m.audio, nullptr)))
        m.failed = true;
    if (!m.failed && !m.Encode(m.video, nullptr)) m.failed = true;
    if (av_write_trailer(m.format) < 0) m.failed = true;
    m.headerWritten = false;
    if (avio_closep(&m.format->pb) < 0) m.failed = true;
    return !m.failed;
}
