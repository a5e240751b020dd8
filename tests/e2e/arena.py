"""The modpack the cases play with, "Arena", and what the game and the host look like with it."""

import struct

from harness import check, file_sum, make_modpack

KRV_TEXT = (b"ModInfo_UserMessage=Arena, made by the end-to-end test\\nSecond line\r\n"
            b"modinfo_binname=w_Arena.bin\r\nmodinfo_bintype=3\r\n")
# A world with its .bin, game data, a texture that replaces the game's own (sky.tga there), one in
# a folder of the archive, and an .abx of the archive's own that is never installed.
MEMBERS = {"w_Arena.bin": b"arena world", "Arena.gzp": b"arena data", "Sky.tga": b"arena sky",
           "textures/Ground.tga": b"arena ground", "Arena.abx": b"never installed"}


def arena(path, shareable=True, version=b"", members=MEMBERS):
    """Writes Arena.gck; returns its bytes and its information text."""
    text = KRV_TEXT + (b"modinfo_shareable=1\r\n" if shareable else b"") + version
    return make_modpack(path, "arena.krv", text, members), text


def world_list(worlds):
    """The game's world list layout, as Korvane writes it for a modpack's worlds."""
    names = [name.encode() for name, _ in worlds]
    count = len(worlds)
    out = struct.pack("<III", 0x1A0003D0, 4 + 13 * count + sum(map(len, names)), count)
    position = 4 * count + 4
    for name in names:
        out += struct.pack("<I", position)
        position += len(name) + 9
    for i, (name, (_, kind)) in enumerate(zip(names, worlds)):
        out += name + b"\0" + struct.pack("<ii", kind, 31 + i)
    return out


def check_installed(player):
    """The game holds Arena: files placed by extension, the companion made from Master.abx, the
    game's own sky replaced in place whatever its letter case, and the world list."""
    bin_dir, override = player.game / "bin", player.game / "bin" / "Override"
    expected = {bin_dir / "w_Arena.bin": MEMBERS["w_Arena.bin"],
                bin_dir / "w_Arena.abx": b"master abx",
                bin_dir / "Arena.gzp": MEMBERS["Arena.gzp"],
                override / "sky.tga": MEMBERS["Sky.tga"],
                override / "Ground.tga": MEMBERS["textures/Ground.tga"],
                bin_dir / "worldlist.bin": world_list([("intro_island", 0), ("Arena", 3)])}
    for path, data in expected.items():
        check(path.exists() and path.read_bytes() == data,
              f"{player.name}: {path} does not hold the modpack's file")
    skies = [p.name for p in override.iterdir() if p.name.lower() == "sky.tga"]
    check(skies == ["sky.tga"], f"{player.name}: Sky.tga landed beside the game's own: {skies}")
    check(not (bin_dir / "Arena.abx").exists(), f"{player.name}: the archive's .abx was installed")


def announcement(archive, text, source):
    """Share/giantshost.htm for Arena, byte for byte: CR LF line ends, the information text last."""
    head = f"FileName=Arena.gck\nFileSize={len(archive)}\n"
    head += f"FileSource={source}\n" if source else "\n"
    head += f"HostVer=0.4\nFileSum={file_sum(archive)}\n"
    return head.replace("\n", "\r\n").encode() + text.replace(b"\n", b"\r\n")
