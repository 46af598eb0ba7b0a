// Sound effects and music, synthesised: small instruments, a simple sequencer, WAV and Ogg Vorbis writers.
#include <math.h>
#include <vorbis/vorbisenc.h>

#include <vector>

#include "assetgen.hpp"
#include "math.hpp"

namespace {

constexpr int RATE = 44100;
constexpr f32 TAU = 6.2831853f;

struct Rng {
  u32 state;
  u32 next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  f32 uniform() { return (f32)(next() & 0xFFFFFF) / (f32)0x1000000; }
  f32 noise() { return uniform() * 2 - 1; }
};

struct Stereo {
  std::vector<f32> l, r;
  explicit Stereo(f32 seconds) : l((size_t)(seconds * RATE)), r((size_t)(seconds * RATE)) {}
  int frames() const { return (int)l.size(); }
  void add(int i, f32 v, f32 pan = 0.5f) {
    if (i < 0 || i >= frames()) return;
    l[(size_t)i] += v * sqrtf(1 - pan);
    r[(size_t)i] += v * sqrtf(pan);
  }
};

f32 midi_freq(f32 note) { return 440.0f * powf(2.0f, (note - 69) / 12.0f); }

// Attack, hold-free exponential decay envelope.
f32 env_ad(f32 t, f32 attack, f32 decay) {
  if (t < 0) return 0;
  if (t < attack) return t / attack;
  return expf(-(t - attack) / decay);
}

// One-pole low-pass filter state.
struct Lowpass {
  f32 y = 0;
  f32 cutoff = -1;
  f32 a = 0;
  f32 run(f32 x, f32 new_cutoff) {
    // The coefficient costs an exp; cutoffs move slowly, so recompute only on a real change.
    if (fabsf(new_cutoff - cutoff) > 2) {
      cutoff = new_cutoff;
      a = 1 - expf(-TAU * cutoff / RATE);
    }
    y += a * (x - y);
    return y;
  }
};

// --- instruments

void pluck(Stereo& out, f32 start, f32 note, f32 dur, f32 gain, f32 pan, Rng& rng, f32 brightness = 0.5f) {
  // Karplus-Strong: a noise burst circulating in a damped delay line sounds like a plucked string.
  f32 freq = midi_freq(note);
  int period = max(2, (int)lrintf(RATE / freq));
  std::vector<f32> line((size_t)period);
  for (f32& v : line) v = rng.noise();
  int s0 = (int)(start * RATE), n = (int)(dur * RATE);
  f32 prev = 0;
  for (int i = 0; i < n; i++) {
    size_t k = (size_t)(i % period);
    f32 cur = line[k];
    f32 avg = brightness * cur + (1 - brightness) * prev;
    line[k] = avg * 0.996f;
    prev = cur;
    f32 fade = i > n - 400 ? (f32)(n - i) / 400.0f : 1.0f;
    out.add(s0 + i, cur * gain * fade, pan);
  }
}

void pad(Stereo& out, f32 start, const f32* notes, int count, f32 dur, f32 gain) {
  int s0 = (int)(start * RATE), n = (int)(dur * RATE);
  for (int v = 0; v < count; v++) {
    f32 freq = midi_freq(notes[v]);
    Lowpass lp;
    f32 phase[3] = {0.1f * v, 0.37f, 0.71f};
    const f32 detune[3] = {1.0f, 1.0035f, 0.9967f};
    for (int i = 0; i < n; i++) {
      f32 t = (f32)i / RATE;
      f32 e = min(1.0f, t / 0.6f) * min(1.0f, (dur - t) / 0.8f);
      f32 x = 0;
      for (int d = 0; d < 3; d++) {
        phase[d] += freq * detune[d] / RATE;
        phase[d] -= floorf(phase[d]);
        x += 2 * phase[d] - 1;
      }
      f32 y = lp.run(x / 3, 900 + 300 * sinf(t * 0.7f));
      out.add(s0 + i, y * e * gain, 0.3f + 0.4f * (f32)v / (f32)max(1, count - 1));
    }
  }
}

void bell(Stereo& out, f32 start, f32 note, f32 dur, f32 gain, f32 pan) {
  // Two-operator FM with an inharmonic ratio gives a bell.
  f32 freq = midi_freq(note);
  int s0 = (int)(start * RATE), n = (int)(dur * RATE);
  for (int i = 0; i < n; i++) {
    f32 t = (f32)i / RATE;
    f32 e = env_ad(t, 0.003f, dur * 0.35f);
    f32 mod = sinf(TAU * freq * 3.5f * t) * 2.2f * e;
    out.add(s0 + i, sinf(TAU * freq * t + mod) * e * gain, pan);
  }
}

void bass(Stereo& out, f32 start, f32 note, f32 dur, f32 gain) {
  f32 freq = midi_freq(note);
  int s0 = (int)(start * RATE), n = (int)(dur * RATE);
  for (int i = 0; i < n; i++) {
    f32 t = (f32)i / RATE;
    f32 e = env_ad(t, 0.01f, dur * 0.6f) * min(1.0f, (dur - t) * 40);
    f32 x = sinf(TAU * freq * t) + 0.3f * sinf(TAU * 2 * freq * t);
    out.add(s0 + i, tanhf(x * 1.2f) * e * gain, 0.5f);
  }
}

void kick(Stereo& out, f32 start, f32 gain) {
  int s0 = (int)(start * RATE), n = (int)(0.3f * RATE);
  f32 phase = 0;
  for (int i = 0; i < n; i++) {
    f32 t = (f32)i / RATE;
    phase += (45 + 90 * expf(-t * 30)) / RATE;
    out.add(s0 + i, sinf(TAU * phase) * expf(-t * 12) * gain, 0.5f);
  }
}

void hat(Stereo& out, f32 start, f32 gain, Rng& rng) {
  int s0 = (int)(start * RATE), n = (int)(0.05f * RATE);
  f32 prev = 0;
  for (int i = 0; i < n; i++) {
    f32 t = (f32)i / RATE;
    f32 x = rng.noise();
    f32 hp = x - prev;  // crude high-pass keeps the hiss
    prev = x;
    out.add(s0 + i, hp * expf(-t * 80) * gain, 0.65f);
  }
}

void noise_sweep(Stereo& out, f32 start, f32 dur, f32 f0, f32 f1, f32 gain, Rng& rng, f32 pan = 0.5f) {
  int s0 = (int)(start * RATE), n = (int)(dur * RATE);
  Lowpass a, b;
  for (int i = 0; i < n; i++) {
    f32 u = (f32)i / (f32)n;
    f32 cutoff = f0 + (f1 - f0) * u;
    f32 x = rng.noise();
    f32 band = a.run(x, cutoff * 1.5f) - b.run(x, cutoff * 0.5f);
    f32 e = sinf(pi * u);
    out.add(s0 + i, band * e * gain * 3, pan);
  }
}

void tone_sweep(Stereo& out, f32 start, f32 dur, f32 f0, f32 f1, f32 gain, f32 decay, bool square = false) {
  int s0 = (int)(start * RATE), n = (int)(dur * RATE);
  f32 phase = 0;
  for (int i = 0; i < n; i++) {
    f32 t = (f32)i / RATE, u = (f32)i / (f32)n;
    phase += (f0 * powf(f1 / f0, u)) / RATE;
    f32 s = sinf(TAU * phase);
    if (square) s = tanhf(s * 4);
    out.add(s0 + i, s * env_ad(t, 0.004f, decay) * gain * min(1.0f, (dur - t) * 60), 0.5f);
  }
}

// A stereo feedback delay: enough space to make the mix breathe.
void echo(Stereo& s, f32 delay_seconds, f32 feedback, f32 wet) {
  int d = (int)(delay_seconds * RATE);
  std::vector<f32> l = s.l, r = s.r;
  for (int i = d; i < s.frames(); i++) {
    l[(size_t)i] += r[(size_t)(i - d)] * feedback;
    r[(size_t)i] += l[(size_t)(i - d)] * feedback;
  }
  for (int i = 0; i < s.frames(); i++) {
    s.l[(size_t)i] = s.l[(size_t)i] * (1 - wet) + l[(size_t)i] * wet;
    s.r[(size_t)i] = s.r[(size_t)i] * (1 - wet) + r[(size_t)i] * wet;
  }
}

void normalize_peak(Stereo& s, f32 peak) {
  f32 m = 1e-6f;
  for (int i = 0; i < s.frames(); i++) m = max(m, max(fabsf(s.l[(size_t)i]), fabsf(s.r[(size_t)i])));
  f32 k = peak / m;
  for (int i = 0; i < s.frames(); i++) s.l[(size_t)i] *= k, s.r[(size_t)i] *= k;
}

std::vector<s16> interleave(const Stereo& s, int channels) {
  std::vector<s16> out((size_t)s.frames() * (size_t)channels);
  for (int i = 0; i < s.frames(); i++) {
    f32 l = clamp(s.l[(size_t)i], -1.0f, 1.0f), r = clamp(s.r[(size_t)i], -1.0f, 1.0f);
    if (channels == 1) {
      out[(size_t)i] = (s16)lrintf((l + r) * 0.5f * 32767);
    } else {
      out[(size_t)i * 2] = (s16)lrintf(l * 32767);
      out[(size_t)i * 2 + 1] = (s16)lrintf(r * 32767);
    }
  }
  return out;
}

void put_u32(std::vector<u8>& b, u32 v) {
  for (int i = 0; i < 4; i++) b.push_back((u8)(v >> (8 * i)));
}
void put_u16(std::vector<u8>& b, u16 v) {
  b.push_back((u8)v);
  b.push_back((u8)(v >> 8));
}

bool write_wav(const char* path, const Stereo& s, int channels) {
  std::vector<s16> pcm = interleave(s, channels);
  u32 data_bytes = (u32)(pcm.size() * 2);
  std::vector<u8> b;
  b.insert(b.end(), {'R', 'I', 'F', 'F'});
  put_u32(b, 36 + data_bytes);
  b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put_u32(b, 16);
  put_u16(b, 1);
  put_u16(b, (u16)channels);
  put_u32(b, RATE);
  put_u32(b, (u32)(RATE * channels * 2));
  put_u16(b, (u16)(channels * 2));
  put_u16(b, 16);
  b.insert(b.end(), {'d', 'a', 't', 'a'});
  put_u32(b, data_bytes);
  const u8* raw = (const u8*)pcm.data();
  b.insert(b.end(), raw, raw + data_bytes);
  return assetgen_write_file(path, b.data(), b.size());
}

bool write_ogg(const char* path, const Stereo& s, f32 quality) {
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, 2, RATE, quality) != 0) return false;
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_comment_add_tag(&vc, "ENCODER", "valmire-assetgen");
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 0x56414c4d);  // a fixed serial keeps the output reproducible
  std::vector<u8> file;
  auto flush_pages = [&](bool force) {
    ogg_page og;
    while (force ? ogg_stream_flush(&os, &og) : ogg_stream_pageout(&os, &og)) {
      file.insert(file.end(), og.header, og.header + og.header_len);
      file.insert(file.end(), og.body, og.body + og.body_len);
    }
  };
  ogg_packet header, header_comm, header_code;
  vorbis_analysis_headerout(&vd, &vc, &header, &header_comm, &header_code);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &header_comm);
  ogg_stream_packetin(&os, &header_code);
  flush_pages(true);

  const int chunk = 4096;
  for (int pos = 0; pos <= s.frames(); pos += chunk) {
    int n = min(chunk, s.frames() - pos);
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&vd, n);
      for (int i = 0; i < n; i++) {
        buffer[0][i] = clamp(s.l[(size_t)(pos + i)], -1.0f, 1.0f);
        buffer[1][i] = clamp(s.r[(size_t)(pos + i)], -1.0f, 1.0f);
      }
    }
    vorbis_analysis_wrote(&vd, n > 0 ? n : 0);
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet op;
      while (vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        flush_pages(false);
      }
    }
    if (n <= 0) break;
  }
  flush_pages(true);
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return assetgen_write_file(path, file.data(), file.size());
}

// --- effects

struct Effect {
  const char* file;
  f32 seconds;
  void (*make)(Stereo&, Rng&);
};

const Effect effects[] = {
    {"click.wav", 0.06f,
     [](Stereo& s, Rng& rng) {
       tone_sweep(s, 0, 0.03f, 2200, 1800, 0.5f, 0.01f);
       noise_sweep(s, 0, 0.01f, 4000, 3000, 0.3f, rng);
     }},
    {"fireball-cast.wav", 0.7f,
     [](Stereo& s, Rng& rng) {
       noise_sweep(s, 0, 0.65f, 300, 2500, 0.9f, rng);
       tone_sweep(s, 0, 0.6f, 70, 140, 0.4f, 0.3f);
     }},
    {"spell-failure.wav", 0.35f,
     [](Stereo& s, Rng&) {
       tone_sweep(s, 0, 0.15f, 330, 300, 0.35f, 0.1f, true);
       tone_sweep(s, 0.16f, 0.18f, 247, 200, 0.35f, 0.12f, true);
     }},
    {"swing.wav", 0.28f, [](Stereo& s, Rng& rng) { noise_sweep(s, 0, 0.26f, 600, 2200, 0.9f, rng, 0.4f); }},
    {"damage.wav", 0.22f,
     [](Stereo& s, Rng& rng) {
       tone_sweep(s, 0, 0.2f, 160, 60, 0.8f, 0.08f);
       noise_sweep(s, 0, 0.06f, 1800, 900, 0.5f, rng);
     }},
    {"strong-damage.wav", 0.38f,
     [](Stereo& s, Rng& rng) {
       tone_sweep(s, 0, 0.35f, 120, 40, 1.0f, 0.15f);
       noise_sweep(s, 0, 0.12f, 2500, 700, 0.7f, rng);
     }},
    {"heal.wav", 0.9f,
     [](Stereo& s, Rng&) {
       const f32 notes[] = {72, 76, 79, 84};
       for (int i = 0; i < 4; i++) bell(s, 0.08f * i, notes[i], 0.6f, 0.25f, 0.3f + 0.13f * i);
     }},
    {"healing.wav", 0.6f,
     [](Stereo& s, Rng&) {
       bell(s, 0, 88, 0.5f, 0.18f, 0.35f);
       bell(s, 0.1f, 91, 0.45f, 0.15f, 0.65f);
     }},
    {"pew.wav", 0.2f, [](Stereo& s, Rng&) { tone_sweep(s, 0, 0.18f, 1400, 300, 0.5f, 0.08f, true); }},
    {"woosh.wav", 0.42f, [](Stereo& s, Rng& rng) { noise_sweep(s, 0, 0.4f, 400, 1600, 1.0f, rng, 0.6f); }},
    {"cyclone-slash.wav", 0.65f,
     [](Stereo& s, Rng& rng) {
       for (int i = 0; i < 3; i++) noise_sweep(s, 0.18f * i, 0.22f, 500 + 200 * i, 2000, 0.8f, rng, 0.2f + 0.3f * i);
     }},
    {"death-1.wav", 0.75f, [](Stereo& s, Rng&) { tone_sweep(s, 0, 0.7f, 220, 80, 0.5f, 0.35f, true); }},
    {"death-2.wav", 0.75f, [](Stereo& s, Rng&) { tone_sweep(s, 0, 0.7f, 180, 60, 0.5f, 0.3f, true); }},
    {"death-3.wav", 0.8f,
     [](Stereo& s, Rng& rng) {
       tone_sweep(s, 0, 0.75f, 260, 90, 0.45f, 0.35f);
       noise_sweep(s, 0, 0.3f, 800, 300, 0.3f, rng);
     }},
    {"lvl-up.wav", 1.1f,
     [](Stereo& s, Rng&) {
       const f32 notes[] = {67, 72, 76, 79, 84};
       for (int i = 0; i < 5; i++) bell(s, 0.09f * i, notes[i], 0.7f, 0.22f, 0.5f);
     }},
    {"pick-up.wav", 0.16f,
     [](Stereo& s, Rng&) {
       tone_sweep(s, 0, 0.06f, 880, 880, 0.35f, 0.05f);
       tone_sweep(s, 0.06f, 0.09f, 1320, 1320, 0.35f, 0.06f);
     }},
    {"eat.wav", 0.45f,
     [](Stereo& s, Rng& rng) {
       for (int i = 0; i < 3; i++) noise_sweep(s, 0.14f * i, 0.08f, 1500, 700, 0.8f, rng);
     }},
    {"footsteps.wav", 0.5f,
     [](Stereo& s, Rng& rng) {
       for (int i = 0; i < 2; i++) {
         tone_sweep(s, 0.25f * i, 0.08f, 110, 70, 0.4f, 0.03f);
         noise_sweep(s, 0.25f * i, 0.07f, 900, 400, 0.35f, rng, 0.35f + 0.3f * i);
       }
     }},
};

struct OggEffect {
  const char* file;
  f32 seconds;
  void (*make)(Stereo&, Rng&);
};

const OggEffect ogg_effects[] = {
    {"container-open.ogg", 0.55f,
     [](Stereo& s, Rng& rng) {
       tone_sweep(s, 0, 0.45f, 190, 260, 0.25f, 0.3f, true);  // the creak of the hinge
       noise_sweep(s, 0.42f, 0.08f, 1200, 500, 0.5f, rng);
     }},
    {"container-close.ogg", 0.35f,
     [](Stereo& s, Rng& rng) {
       tone_sweep(s, 0, 0.25f, 120, 70, 0.7f, 0.08f);
       noise_sweep(s, 0, 0.06f, 1500, 600, 0.5f, rng);
     }},
};

// --- music

struct Track {
  const char* file;
  f32 bpm;
  int root;            // midi note of the key's tonic
  int mode[7];         // semitone offsets of the scale
  int progression[4];  // scale degrees of the chords
  int bars;
  bool drums;
  bool bells;
  u32 seed;
};

constexpr int MAJOR[7] = {0, 2, 4, 5, 7, 9, 11};
constexpr int MINOR[7] = {0, 2, 3, 5, 7, 8, 10};
constexpr int DORIAN[7] = {0, 2, 3, 5, 7, 9, 10};

#define SCALE(s) \
  { s[0], s[1], s[2], s[3], s[4], s[5], s[6] }
const Track tracks[] = {
    {"01-morning-fields.wav", 92, 60, SCALE(MAJOR), {0, 4, 5, 3}, 12, false, true, 11},
    {"02-campfire.wav", 76, 57, SCALE(MINOR), {0, 5, 2, 6}, 10, false, false, 22},
    {"03-wandering.ogg", 100, 62, SCALE(DORIAN), {0, 3, 0, 4}, 14, true, false, 33},
    {"04-old-forest.ogg", 70, 55, SCALE(MINOR), {0, 3, 5, 4}, 10, false, true, 44},
    {"05-river-song.ogg", 88, 64, SCALE(MAJOR), {0, 3, 4, 0}, 12, true, true, 55},
    {"06-stone-halls.ogg", 66, 50, SCALE(MINOR), {0, 6, 5, 4}, 9, false, true, 66},
    {"07-market-day.ogg", 116, 65, SCALE(MAJOR), {0, 5, 3, 4}, 16, true, false, 77},
    {"08-night-watch.ogg", 72, 53, SCALE(DORIAN), {0, 2, 3, 0}, 10, true, true, 88},
    {"09-homeward.ogg", 84, 62, SCALE(MAJOR), {3, 4, 2, 5}, 12, false, true, 99},
};

int scale_note(const Track& t, int degree, int octave) {
  int d = ((degree % 7) + 7) % 7;
  int o = octave + (degree - d) / 7;
  return t.root + t.mode[d] + 12 * o;
}

Stereo compose(const Track& t) {
  f32 beat = 60.0f / t.bpm;
  f32 bar = beat * 4;
  f32 seconds = bar * (f32)t.bars + 2.5f;
  Stereo s(seconds);
  Rng rng = {t.seed * 2654435761u + 1};
  int melody_degree = 4;
  for (int b = 0; b < t.bars; b++) {
    f32 start = bar * (f32)b;
    int degree = t.progression[b % 4];
    bool last = b == t.bars - 1;
    if (last) degree = 0;
    f32 chord[3] = {(f32)scale_note(t, degree, -1), (f32)scale_note(t, degree + 2, -1),
                    (f32)scale_note(t, degree + 4, -1)};
    pad(s, start, chord, 3, last ? bar + 2.0f : bar + 0.3f, 0.05f);
    for (int q = 0; q < 4; q++) {
      bass(s, start + beat * (f32)q, (f32)scale_note(t, degree, -2), beat * 0.9f, q == 0 ? 0.22f : 0.14f);
      if (t.drums && !last) {
        if (q % 2 == 0) kick(s, start + beat * (f32)q, 0.35f);
        hat(s, start + beat * ((f32)q + 0.5f), 0.08f, rng);
      }
    }
    // The melody walks the scale near the chord tones, resting now and then; phrases end on the chord.
    if (b >= 1 && !last) {
      for (int e = 0; e < 8; e++) {
        if (rng.uniform() < 0.25f && e != 0) continue;
        int step = (int)(rng.uniform() * 5) - 2;
        melody_degree = clamp(melody_degree + step, 0, 11);
        if (e == 0 || e == 6) melody_degree = degree + (rng.uniform() < 0.5f ? 0 : 2) + 7;
        f32 when = start + beat * 0.5f * (f32)e;
        f32 note = (f32)scale_note(t, melody_degree, 0);
        if (t.bells && (e % 4 == 0)) {
          bell(s, when, note + 12, beat * 2, 0.07f, 0.6f);
        } else {
          pluck(s, when, note, beat * 1.5f, 0.22f, 0.35f + 0.3f * rng.uniform(), rng, 0.55f);
        }
      }
    }
  }
  echo(s, beat * 0.75f, 0.35f, 0.35f);
  normalize_peak(s, 0.8f);
  return s;
}

bool generate_audio(const char* out_dir) {
  char dir[512], path[600];
  snprintf(dir, sizeof(dir), "%s/audio", out_dir);
  if (!assetgen_make_dirs(dir)) return false;
  u32 seed = 7;
  for (const Effect& e : effects) {
    Stereo s(e.seconds);
    Rng rng = {seed++ * 2246822519u + 3};
    e.make(s, rng);
    normalize_peak(s, 0.7f);
    snprintf(path, sizeof(path), "%s/%s", dir, e.file);
    if (!write_wav(path, s, 1)) return false;
  }
  for (const OggEffect& e : ogg_effects) {
    Stereo s(e.seconds);
    Rng rng = {seed++ * 2246822519u + 3};
    e.make(s, rng);
    normalize_peak(s, 0.7f);
    snprintf(path, sizeof(path), "%s/%s", dir, e.file);
    if (!write_ogg(path, s, 0.4f)) return false;
  }
  snprintf(dir, sizeof(dir), "%s/audio/music", out_dir);
  if (!assetgen_make_dirs(dir)) return false;
  for (const Track& t : tracks) {
    Stereo s = compose(t);
    snprintf(path, sizeof(path), "%s/%s", dir, t.file);
    bool ok = cstr_ends_with(t.file, ".wav") ? write_wav(path, s, 2) : write_ogg(path, s, 0.2f);
    if (!ok) return false;
  }
  return true;
}

}  // namespace

ASSETGEN_REGISTER("audio", generate_audio);
