"""Small sound files for the seeds of the sound readers' fuzz harness.

  sound_variants.py cut IN.wav OUT.wav SECONDS   first SECONDS of a 16-bit WAV file
  sound_variants.py variants WORK_DIR OUT_DIR    WAV, AIFF, AIFF-C and NeXT/Sun files at 8, 16
                                                 and 44.1 kHz, mono and stereo, 8/16/24/32-bit
                                                 integers and 32-bit floats, from the synthetic
                                                 voices WORK_DIR/s8k.wav and s44k.wav
"""
import math
import struct
import sys
import warnings
import wave

with warnings.catch_warnings():
    warnings.simplefilter("ignore", DeprecationWarning)
    import aifc

MAX_FRAMES = 3000  # frames per seed: a few kB each


def read_wav16(path, max_frames=None):
    with wave.open(path, "rb") as w:
        assert w.getsampwidth() == 2, path
        rate, ch = w.getframerate(), w.getnchannels()
        n = w.getnframes() if max_frames is None else min(w.getnframes(), max_frames)
        raw = w.readframes(n)
    x = struct.unpack("<%dh" % (len(raw) // 2), raw)
    return rate, [x[i] / 32768.0 for i in range(0, len(x), ch)]


def pcm(x, width, channels, big_endian=False, unsigned8=True):
    out = bytearray()
    full = float(1 << (8 * width - 1))
    for i, v in enumerate(x):
        for c in range(channels):
            s = v if c == 0 else -v * 0.5
            q = max(-full, min(full - 1, round(s * full)))
            q = int(q)
            if width == 1:
                out += bytes([(q + 128) & 0xFF if unsigned8 else q & 0xFF])
            else:
                b = q.to_bytes(width, "big" if big_endian else "little", signed=True)
                out += b
    return bytes(out)


def write_wav(path, rate, x, width=2, channels=1, float32=False):
    if float32:
        data = b"".join(struct.pack("<f", v) for v in x for _ in range(channels))
        tag, width = 3, 4
    else:
        data = pcm(x, width, channels)
        tag = 1
    fmt = struct.pack("<HHIIHH", tag, channels, rate, rate * channels * width, channels * width,
                      8 * width)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    if float32:  # float files carry a fact chunk
        body += b"fact" + struct.pack("<II", 4, len(x))
    body += b"data" + struct.pack("<I", len(data)) + data + (b"\0" if len(data) % 2 else b"")
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)


def write_aiff(path, rate, x, width=2, channels=1):
    a = aifc.open(path, "wb")
    if path.endswith(".aifc"):
        a.aifc()
    else:
        a.aiff()
    a.setnchannels(channels)
    a.setsampwidth(width)
    a.setframerate(rate)
    a.writeframes(pcm(x, width, channels, big_endian=True, unsigned8=False))
    a.close()


def write_au(path, rate, x, channels=1):
    data = pcm(x, 2, channels, big_endian=True)
    header = b".snd" + struct.pack(">IIIII", 24, len(data), 3, rate, channels)
    with open(path, "wb") as f:
        f.write(header + data)


def cut(src, dst, seconds):
    with wave.open(src, "rb") as w:
        n = int(seconds * w.getframerate())
        params = w.getparams()
        frames = w.readframes(n)
    with wave.open(dst, "wb") as o:
        o.setparams(params)
        o.writeframes(frames)


def variants(work, out):
    r8, x8 = read_wav16(work + "/s8k.wav", MAX_FRAMES)
    r44, x44 = read_wav16(work + "/s44k.wav", MAX_FRAMES)
    r16 = 16000
    x16 = [0.5 * math.sin(2 * math.pi * 200 * i / r16) for i in range(MAX_FRAMES // 2)]
    write_wav(out + "/w8k_u8.wav", r8, x8, width=1)
    write_wav(out + "/w8k_16_stereo.wav", r8, x8[:1500], channels=2)
    write_wav(out + "/w16k_24.wav", r16, x16, width=3)
    write_wav(out + "/w16k_float.wav", r16, x16, float32=True)
    write_wav(out + "/w44k_32.wav", r44, x44[:1000], width=4)
    write_wav(out + "/w44k_16.wav", r44, x44)
    write_aiff(out + "/a8k_16.aiff", r8, x8[:2000])
    write_aiff(out + "/a16k_24_stereo.aiff", r16, x16[:800], width=3, channels=2)
    write_aiff(out + "/a44k_8.aiff", r44, x44[:1500], width=1)
    write_aiff(out + "/c16k_16.aifc", r16, x16[:1000])
    write_au(out + "/n8k_16.au", r8, x8[:1000])


if __name__ == "__main__":
    if sys.argv[1] == "cut":
        cut(sys.argv[2], sys.argv[3], float(sys.argv[4]))
    elif sys.argv[1] == "variants":
        variants(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
