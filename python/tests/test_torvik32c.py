"""The Python module against the command line: the same bytes, the same
errors, the same figures; its arrays, its threads and its stubs."""

import ast
import json
import os
import pickle
import shutil
import struct
import sys
import threading
import warnings
from pathlib import Path

import numpy as np
import pytest

import torvik32c

OPTION_SETS = [
    ({}, []),
    ({"smoothing_groups": True}, ["--smoothing-groups"]),
    ({"keep_file_winding": True}, ["--keep-file-winding"]),
    ({"keyframer": True}, ["--keyframer"]),
    ({"orient_outward": True}, ["--orient-outward"]),
    ({"as_authored": True}, ["--as-authored"]),
]


def test_conversions_equal_3ds2bmf(samples, presets, cli, tmp_path):
    """Every sample with each option, the presets with none and with all."""
    cases = [(model, option) for model in sorted(samples.glob("*.3ds")) for option in OPTION_SETS]
    cases += [(model, option) for model in presets for option in (OPTION_SETS[0], OPTION_SETS[-1])]
    for model, (options, flags) in cases:
        expected = tmp_path / "cli.bmf"
        info = json.loads(cli("-q", "--json", *flags, "-o", expected, model).stdout)
        written = tmp_path / "python.bmf"
        report = torvik32c.convert(model, written, **options)
        label = f"{model.name} {flags}"
        assert written.read_bytes() == expected.read_bytes(), label
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", torvik32c.ConversionWarning)
            assert torvik32c.convert_bytes(model.read_bytes(), **options) == \
                expected.read_bytes(), label
        assert (report.blocks, report.vertices, report.triangles, report.degenerate) == \
            (info["blocks"], info["vertices"], info["triangles"], info["degenerate"]), label


def test_reports_textures_and_keyframer_as_3ds2bmf(samples, cli, tmp_path):
    for name in ("crate.3ds", "gate.3ds", "sample.3ds"):
        model = samples / name
        listed = json.loads(cli("--list", "--json", model).stdout)
        report = torvik32c.convert(model, tmp_path / "out.bmf")
        assert [(t.name, t.path, t.rule) for t in report.textures] == \
            [(t["name"], t["path"], t["rule"]) for t in listed["textures"]], name
        effect = report.keyframer
        assert (effect.nodes, effect.instances, effect.moved) == \
            tuple(listed["keyframer"][k] for k in ("nodes", "instances", "moved")), name
    gate = torvik32c.convert(samples / "gate.3ds", tmp_path / "gate.bmf")
    assert any("--keyframer applies it" in w for w in gate.warnings)
    # A texture decided by the caller, as --texture NAME=FILE does.
    chosen = torvik32c.convert(samples / "crate.3ds", tmp_path / "crate.bmf",
                               textures={"FLOORTIL.TGA": samples / "brass.png"})
    assert chosen.textures[1].rule == "given"


def test_errors_name_the_kind_the_file_and_the_place(samples, cli, tmp_path):
    damaged = tmp_path / "cut.3ds"
    damaged.write_bytes((samples / "sample.3ds").read_bytes()[:300])
    printed = cli(damaged, "-o", tmp_path / "cut.bmf", check=False).stderr.strip()
    with pytest.raises(torvik32c.DamagedFileError) as raised:
        torvik32c.convert(damaged, tmp_path / "cut.bmf")
    error = raised.value
    assert printed == f"3ds2bmf: {error}"
    assert (error.kind, error.path, error.chunk) == ("damaged_file", str(damaged), 0x0010)
    assert error.chunk_offset < error.offset
    assert not (tmp_path / "cut.bmf").exists()
    # The error crosses process boundaries whole.
    copy = pickle.loads(pickle.dumps(error))
    assert (type(copy), str(copy), copy.chunk, copy.offset) == \
        (type(error), str(error), error.chunk, error.offset)

    with pytest.raises(OSError) as raised:
        torvik32c.convert(tmp_path / "missing.3ds", tmp_path / "out.bmf")
    assert isinstance(raised.value, torvik32c.FileAccessError)
    assert raised.value.kind == "cannot_open"

    # A destination that can't be written leaves the one there intact.
    kept = tmp_path / "kept.bmf"
    kept.write_bytes(b"old")
    with pytest.raises(torvik32c.FileAccessError):
        torvik32c.convert(samples / "sample.3ds", tmp_path / "no" / "such" / "out.bmf")
    with pytest.raises(torvik32c.DamagedFileError):
        torvik32c.convert(damaged, kept)
    assert kept.read_bytes() == b"old"

    lonely = tmp_path / "lonely" / "crate.3ds"
    lonely.parent.mkdir()
    shutil.copy(samples / "crate.3ds", lonely)
    with pytest.raises(torvik32c.TextureError) as raised:
        torvik32c.convert(lonely, tmp_path / "crate.bmf", require_textures=True)
    assert "2 of 2 textures missing" in str(raised.value)
    assert [t.found for t in raised.value.textures] == [False, False]
    assert not (tmp_path / "crate.bmf").exists()

    with pytest.raises(torvik32c.DamagedFileError):
        torvik32c.read_bmf(b"\x01\x00")
    with pytest.raises(TypeError, match="unexpected keyword argument 'smoothing'"):
        torvik32c.convert_bytes(b"", smoothing=True)
    with pytest.raises(TypeError, match="keyframer must be True or False"):
        torvik32c.convert_bytes(b"", keyframer=1)
    with pytest.raises(ValueError, match="need model_path"):
        torvik32c.convert_bytes(b"", require_textures=True)
    with pytest.raises(TypeError, match="must be a path or bytes"):
        torvik32c.read_bmf(12)

    # The keyframer draws no more faces than max_placed_faces allows: the gate
    # draws 84, its meshes as stored 60.
    gate = (samples / "gate.3ds").read_bytes()
    for call in (torvik32c.convert_bytes, torvik32c.read_3ds):
        with pytest.raises(torvik32c.TooLargeError,
                           match="draw 84 faces, more than the 83 that max_placed_faces allows"):
            call(gate, keyframer=True, max_placed_faces=83)
        call(gate, keyframer=True, max_placed_faces=84)
    with pytest.raises(ValueError, match="max_placed_faces must be 1 or more"):
        torvik32c.convert_bytes(gate, max_placed_faces=0)


def test_paths_and_arguments_are_checked_before_any_work(samples, cli, tmp_path):
    """A destination that is the source by any name, a path holding NUL, a
    count past any machine's and an encoding that can't read names are
    ValueErrors before anything is read or written; a path that is not
    UTF-8 names its file, in results and errors alike."""
    model = tmp_path / "model.3ds"
    shutil.copy(samples / "sample.3ds", model)
    original = model.read_bytes()
    (tmp_path / "sub").mkdir()
    (tmp_path / "link.3ds").symlink_to("model.3ds")
    os.link(model, tmp_path / "hard.3ds")
    for dest in (model, str(model), tmp_path / "sub" / ".." / "model.3ds", tmp_path / "link.3ds",
                 tmp_path / "hard.3ds", os.fsencode(model)):
        with pytest.raises(ValueError, match="is the model file .* itself"):
            torvik32c.convert(model, dest)
        assert model.read_bytes() == original, dest
    calls = [
        lambda: torvik32c.convert(model, tmp_path / "out.bmf", threads=2**64),
        lambda: torvik32c.convert(model, tmp_path / "out.bmf", max_placed_faces=2**70),
        lambda: torvik32c.convert(model, tmp_path / "out.bmf", threads=-1),
        lambda: torvik32c.convert(str(model) + "\0.3ds", tmp_path / "out.bmf"),
        lambda: torvik32c.convert(model, str(tmp_path / "out.bmf") + "\0"),
        lambda: torvik32c.read_3ds(str(model) + "\0"),
        lambda: torvik32c.convert(model, tmp_path / "out.bmf", texture_paths=["a\0b"]),
        lambda: torvik32c.convert(model, tmp_path / "out.bmf", name_encoding="utf8\0x"),
        lambda: torvik32c.to_gltf(model, name_encoding="UTF-16"),
        lambda: torvik32c.read_3ds(model, name_encoding="ucs-4"),
        lambda: torvik32c.to_gltf(model, fps=0),
    ]
    for call in calls:
        with pytest.raises(ValueError):
            call()
    assert not (tmp_path / "out.bmf").exists()

    # Names that are not UTF-8, given as bytes or as str (whose surrogates
    # stand for the bytes, as os.fsdecode makes them), are the files' own.
    folder = os.fsencode(tmp_path) + b"/caf\xe9"
    os.mkdir(folder)
    src, dest = folder + b"/m\xff.3ds", folder + b"/m\xff.bmf"
    shutil.copy(samples / "sample.3ds", os.fsdecode(src))
    for given in (src, os.fsdecode(src), Path(os.fsdecode(src))):
        report = torvik32c.convert(given, dest)
        assert (report.source, report.destination) == (os.fsdecode(src), os.fsdecode(dest))
        assert os.path.exists(dest)
        os.remove(dest)
    with open(src, "r+b") as cut:
        cut.truncate(300)
    with pytest.raises(torvik32c.DamagedFileError) as raised:
        torvik32c.convert(src, dest)
    assert raised.value.path == os.fsdecode(src)
    printed = cli(os.fsdecode(src), "-o", os.fsdecode(dest), check=False).stderr.strip()
    assert printed == f"3ds2bmf: {raised.value}"
    assert not os.path.exists(dest)


def test_bmf_arrays_match_bmftool_info(samples, presets, bmftool, tmp_path):
    for model in sorted(samples.glob("*.3ds")) + presets:
        path = tmp_path / (model.stem + ".bmf")
        torvik32c.convert(model, path)
        info = json.loads(bmftool("info", "--json", path).stdout)
        read = torvik32c.read_bmf(path)
        assert (len(read.blocks), read.vertex_count, read.triangle_count) == \
            (info["block_count"], info["vertices"], info["triangles"]), model.name
        assert read.violations == [] and read.strip_flag == 0 and read.trailing_bytes == 0
        for block, facts in zip(read.blocks, info["blocks"]):
            assert block.texture == facts["texture"]
            assert block.diffuse == pytest.approx(facts["diffuse"], abs=1e-6)
            assert block.vertices.shape == (facts["vertices"], 8)
            assert block.indices.shape == (facts["triangles"], 3)
            assert block.indices.dtype == np.uint16 and block.vertices.dtype == np.float32
            if facts["bounds"]:
                for extreme, found in (("min", block.positions.min(axis=0)),
                                       ("max", block.positions.max(axis=0))):
                    assert np.array_equal(found, np.float32(facts["bounds"][extreme]))
            assert int(block.indices.max(initial=0)) < max(len(block.vertices), 1)
            # Positions, normals and uvs are views of the one table.
            for view in (block.positions, block.normals, block.uvs):
                assert np.shares_memory(view, block.vertices)
        from_bytes = torvik32c.read_bmf(path.read_bytes())
        assert all(np.array_equal(a.vertices, b.vertices) and np.array_equal(a.indices, b.indices)
                   for a, b in zip(read.blocks, from_bytes.blocks))
    # A damaged layout is reported, not raised.
    broken = torvik32c.read_bmf(bytearray((tmp_path / "sample.bmf").read_bytes()) + b"xx")
    assert broken.trailing_bytes == 2 and len(broken.violations) == 1


def test_scenes_as_read(samples, tmp_path):
    gate = torvik32c.read_3ds(samples / "gate.3ds")
    stored = len(gate.meshes)
    assert gate.keyframer.effect == torvik32c.KeyframerEffect(nodes=8, instances=2, moved=3)
    assert [node.name for node in gate.keyframer.nodes].count("Pillar") == 2
    placed = torvik32c.read_3ds((samples / "gate.3ds").read_bytes(), keyframer=True)
    assert len(placed.meshes) == stored + 2 and placed.keyframer.applied
    for mesh in gate.meshes:
        assert mesh.positions.dtype == np.float32 and mesh.positions.shape[1] == 3
        assert mesh.indices.shape == (len(mesh.face_flags), 3)
        assert int(mesh.indices.max()) < len(mesh.positions)
        assert mesh.indices.base is mesh.face_flags.base  # one table, no copy
        grouped = np.concatenate(list(mesh.material_groups.values()))
        assert sorted(grouped.tolist()) == list(range(len(mesh.indices)))
    smoothing = torvik32c.read_3ds(samples / "smoothing.3ds")
    assert all(m.smoothing_groups is not None and m.smoothing_groups.dtype == np.uint32
               for m in smoothing.meshes)
    crate = torvik32c.read_3ds(samples / "crate.3ds")
    assert [t.rule for t in crate.textures] == ["subfolder", "8.3"]
    assert [m.texture for m in crate.materials if m.texture] == \
        ["C:\\3DSMAX\\MAPS\\CRATE.TGA", "FLOORTIL.TGA"]
    # The winding as stored against the exchange for flag 7.
    exchanged = torvik32c.read_3ds(samples / "sample.3ds")
    kept = torvik32c.read_3ds(samples / "sample.3ds", keep_file_winding=True)
    assert any(not np.array_equal(a.indices, b.indices)
               for a, b in zip(exchanged.meshes, kept.meshes))


def _tiny_3ds(material, mesh, instance):
    """A .3ds file of one triangle named by bytes: a material with a texture,
    the mesh that uses it, and a keyframer node that names it."""
    def chunk(cid, *parts):
        body = b"".join(parts)
        return struct.pack("<HI", cid, 6 + len(body)) + body
    triangle = chunk(0x4110, struct.pack("<H9f", 3, 0, 0, 0, 1, 0, 0, 0, 1, 0)) + chunk(
        0x4120, struct.pack("<5H", 1, 0, 1, 2, 0), chunk(0x4130, material + b"\0", struct.pack("<2H", 1, 0)))
    editor = chunk(0x3D3D, chunk(0xAFFF, chunk(0xA000, material + b"\0"),
                                 chunk(0xA200, chunk(0xA300, material + b".png\0"))),
                   chunk(0x4000, mesh + b"\0", chunk(0x4100, triangle)))
    node = chunk(0xB002, chunk(0xB010, mesh + b"\0", struct.pack("<3H", 0, 0, 0xFFFF)),
                 chunk(0xB011, instance + b"\0"))
    return chunk(0x4D4D, editor, chunk(0xB000, node))


def test_names_read_as_text(cli, tmp_path):
    """Stored names that are not UTF-8 read as Windows-1252, as 3ds2bmf writes
    them in its JSON; a name that is UTF-8 stays as it is."""
    model = tmp_path / "names.3ds"
    model.write_bytes(_tiny_3ds(b"D\xe9cor", b"Caf\xc3\xa9", b"\x80uro"))
    scene = torvik32c.read_3ds(model)
    assert [m.name for m in scene.materials] == ["D\u00e9cor"]
    assert [m.texture for m in scene.materials] == ["D\u00e9cor.png"]
    assert [m.name for m in scene.meshes] == ["Caf\u00e9"]
    assert list(scene.meshes[0].material_groups) == ["D\u00e9cor"]
    assert [(n.name, n.instance) for n in scene.keyframer.nodes] == [("Caf\u00e9", "\u20acuro")]
    expected = json.loads(cli("--json", "-o", tmp_path / "names.bmf", model).stdout)
    assert [t.name for t in scene.textures] == [t["name"] for t in expected["textures"]]
    assert [b.texture for b in torvik32c.read_bmf(tmp_path / "names.bmf").blocks] == ["D\u00e9cor.png"]
    # name_encoding picks the author's code page, as --name-encoding does.
    sjis = "\u30c6\u30b9\u30c8".encode("shift_jis")
    model.write_bytes(_tiny_3ds(sjis, sjis, sjis))
    scene = torvik32c.read_3ds(model, name_encoding="shift_jis")
    assert [m.name for m in scene.materials] == ["\u30c6\u30b9\u30c8"]
    expected = json.loads(cli("--json", "--name-encoding", "shift_jis", "-o",
                              tmp_path / "sjis.bmf", model).stdout)
    report = torvik32c.convert(model, tmp_path / "sjis.bmf", name_encoding="shift_jis")
    assert [t.name for t in report.textures] == [t["name"] for t in expected["textures"]]
    assert [b.texture for b in torvik32c.read_bmf(tmp_path / "sjis.bmf", name_encoding="Shift_JIS")
            .blocks] == ["\u30c6\u30b9\u30c8.png"]
    assert "\u30c6\u30b9\u30c8".encode() in torvik32c.to_gltf(model, name_encoding="shift_jis")
    with pytest.raises(ValueError, match="name_encoding"):
        torvik32c.read_3ds(model, name_encoding="no-such-encoding")


def _warned(call, *args, **options):
    """What the call returns, and the torvik32c warnings it issued."""
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        result = call(*args, **options)
    return result, [w for w in caught if issubclass(w.category, torvik32c.ConversionWarning)]


def _said(run):
    """3ds2bmf's warnings without "3ds2bmf: ", less its note on the keyframer
    it did not apply (of the BMF alone)."""
    return [line.removeprefix("3ds2bmf: ") for line in run.stderr.splitlines()
            if not line.endswith("--keyframer applies it")]


def test_same_bytes_and_warnings_as_3ds2bmf(generated_models, corpus, samples, cli, tmp_path):
    """The glTF of every generated model (every kind of map, in JPEG and PNG
    files, some missing), of the corpus and of the samples is 3ds2bmf
    --gltf's, with its warnings; a conversion warns as 3ds2bmf does."""
    every_map = next(m for m in generated_models if m.name == "every_map.3ds")
    models = generated_models + corpus + sorted(samples.glob("*.3ds"))
    for model in models:
        bmf = tmp_path / (model.stem + ".bmf")
        run = cli("--gltf", "-o", bmf, model, check=False)
        glb, warned = _warned(torvik32c.to_gltf, model)
        assert glb == bmf.with_suffix(".glb").read_bytes(), model.name
        assert [str(w.message) for w in warned] == _said(run), model.name
        plain = cli("-o", bmf, model, check=False)
        report = torvik32c.convert(model, tmp_path / "python.bmf")
        assert report.warnings == [line.removeprefix("3ds2bmf: ") for line in
                                   plain.stderr.splitlines()], model.name
    # Every map of every kind is found and embedded: textures, a normal map,
    # the opacity in the base colour's alpha, emission and specular.
    glb, _ = _warned(torvik32c.to_gltf, every_map)
    document = json.loads(glb[20:20 + struct.unpack_from("<I", glb, 12)[0]])
    painted = next(m for m in document["materials"] if m["name"] == "Painted")
    assert painted["alphaMode"] == "BLEND"
    for texture in ("normalTexture", "emissiveTexture"):
        assert texture in painted, texture
    assert "specularColorTexture" in painted["extensions"]["KHR_materials_specular"]
    said = [str(w.message) for w in _warned(torvik32c.to_gltf, every_map)[1]]
    assert said == [f'{every_map}: texture "GONE.PNG" not found',
                    f'{every_map}: bump map "NOBUMP.JPG" not found',
                    f'{every_map}: opacity map "FENCE.PNG" not found']
    # Warnings point at the line that called.
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        line = sys._getframe().f_lineno + 1
        torvik32c.convert_bytes(every_map.read_bytes(), model_path=every_map)
    assert caught and all((w.filename, w.lineno) == (__file__, line) for w in caught)


def test_gltf_equals_3ds2bmf(samples, cli, tmp_path):
    folder = tmp_path / "crate"
    shutil.copytree(samples / "crate_maps", folder / "crate_maps")
    shutil.copy(samples / "crate.3ds", folder)
    cli("-q", "--gltf", "-o", folder / "crate.bmf", folder / "crate.3ds")
    expected = (folder / "crate.glb").read_bytes()
    assert torvik32c.to_gltf(folder / "crate.3ds") == expected
    assert torvik32c.to_gltf((folder / "crate.3ds").read_bytes(),
                             model_path=folder / "crate.3ds") == expected
    with pytest.warns(torvik32c.ConversionWarning, match="not found"):
        bare = torvik32c.to_gltf((folder / "crate.3ds").read_bytes(), model_path=tmp_path / "x.3ds")
    assert bare[:4] == b"glTF" and len(bare) < len(expected)
    # --orient-outward reverses the sample's inward ring in the glTF too.
    cli("-q", "--gltf", "--orient-outward", "-o", tmp_path / "oriented.bmf", samples / "sample.3ds")
    oriented = torvik32c.to_gltf(samples / "sample.3ds", orient_outward=True)
    assert oriented == (tmp_path / "oriented.glb").read_bytes()
    assert oriented != torvik32c.to_gltf(samples / "sample.3ds")


def _crate_glb(samples, cli, tmp_path):
    """The textured sample as 3ds2bmf --gltf writes it: a .glb with its two
    textures stored inside, alone in its folder."""
    folder = tmp_path / "crate"
    shutil.copytree(samples / "crate_maps", folder / "crate_maps")
    shutil.copy(samples / "crate.3ds", folder)
    cli("-q", "--gltf", "-o", folder / "crate.bmf", folder / "crate.3ds")
    shutil.rmtree(folder / "crate_maps")
    return folder / "crate.glb"


def _files(folder):
    """Every file in `folder`: {name: bytes}."""
    return {path.name: path.read_bytes() for path in folder.iterdir()}


def test_gltf_and_obj_inputs_as_3ds2bmf(samples, cli, tmp_path):
    """A glTF with its images stored inside and an OBJ with its MTL give
    3ds2bmf's bytes and warnings, from a path or from bytes with the files
    beside them handed over; convert() writes the stored images beside the
    BMF as 3ds2bmf does (the same names and bytes), convert_bytes() returns
    them; the options only a 3DS file takes are refused as 3ds2bmf refuses
    them."""
    glb = _crate_glb(samples, cli, tmp_path)
    folder = glb.parent
    out, mine = tmp_path / "out", tmp_path / "python"
    out.mkdir()
    mine.mkdir()
    run = cli("-o", out / "crate.bmf", glb)
    report = torvik32c.convert(glb, mine / "crate.bmf")
    assert _files(mine) == _files(out)
    assert sorted(_files(out)) == ["CRATE.TGA", "FLOORTIL.TGA", "crate.bmf"]
    assert (report.format, report.warnings) == ("glTF", _said(run))
    written = [(i.file_name, i.data, i.path) for i in report.images]
    assert written == [(name, (out / name).read_bytes(), str(mine / name))
                       for name in ("CRATE.TGA", "FLOORTIL.TGA")]
    # Again: the same bytes are there already, nothing is said.
    again = torvik32c.convert(glb, mine / "crate.bmf")
    assert (again.warnings, again.images) == ([], report.images)
    # From bytes: the BMF's bytes, the images returned and written nowhere.
    given = torvik32c.convert_bytes(glb.read_bytes())
    assert isinstance(given, bytes) and given == (out / "crate.bmf").read_bytes()
    assert [(i.file_name, i.data, i.path) for i in given.images] == \
        [(name, data, None) for name, data, _ in written]
    assert pickle.loads(pickle.dumps(given)).images == given.images
    assert sorted(_files(folder)) == ["crate.3ds", "crate.bmf", "crate.glb"]
    with pytest.warns(torvik32c.ConversionWarning, match="not found"):  # its maps are gone
        assert torvik32c.to_gltf(glb)[:4] == b"glTF"
    obj, mtl = folder / "tri.obj", folder / "tri.mtl"
    obj.write_text("mtllib tri.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\n"
                   "usemtl Red\nf 1//1 2//1 3//1\n")
    mtl.write_text("newmtl Red\nKd 1 0 0\nmap_Kd gone.png\n")
    for flags, options in (([], {}), (["--file-normals"], {"file_normals": True})):
        run = cli(*flags, "-o", out / "tri.bmf", obj)
        report = torvik32c.convert(obj, tmp_path / "tri.bmf", **options)
        assert (tmp_path / "tri.bmf").read_bytes() == (out / "tri.bmf").read_bytes(), flags
        assert report.format == "OBJ" and report.warnings == _said(run), flags
        given = torvik32c.convert_bytes(obj.read_bytes(), files={"tri.mtl": mtl.read_bytes()},
                                        **options)
        assert given == (out / "tri.bmf").read_bytes(), flags
    with pytest.warns(torvik32c.ConversionWarning, match="not among the files given"):
        torvik32c.convert_bytes(obj.read_bytes(), files={})
    with pytest.raises(ValueError, match="not a path within the model's folder"):
        torvik32c.convert_bytes(obj.read_bytes(), files={"../tri.mtl": b""})
    run = cli("--keyframer", "-o", out / "x.bmf", glb, check=False)
    with pytest.raises(ValueError) as refused:
        torvik32c.convert(glb, tmp_path / "x.bmf", keyframer=True)
    assert run.stderr.strip() == f"3ds2bmf: {refused.value}"
    with pytest.raises(ValueError, match="a 3DS file stores none"):
        torvik32c.convert(folder / "crate.3ds", tmp_path / "x.bmf", file_normals=True)


def test_images_stored_inside_never_replace_other_files(samples, cli, tmp_path):
    """An image stored inside a glTF is never written over a file of other
    contents, nor through a symbolic link, under its name: 3ds2bmf and
    convert() leave both as they were with the same warnings, and write the
    BMF all the same."""
    glb = _crate_glb(samples, cli, tmp_path)
    out = tmp_path / "out"
    out.mkdir()
    (out / "CRATE.TGA").write_bytes(b"other")
    (tmp_path / "elsewhere.png").write_bytes(b"kept")
    (out / "FLOORTIL.TGA").symlink_to(tmp_path / "elsewhere.png")
    run = cli("-o", out / "crate.bmf", glb)
    said = _said(run)
    assert said == [f'{glb}: embedded image "{texture}": {out / name} {why}'
                    for texture, name, why in (
                        ("C:\\3DSMAX\\MAPS\\CRATE.TGA", "CRATE.TGA",
                         "already exists with other contents: not overwritten"),
                        ("FLOORTIL.TGA", "FLOORTIL.TGA", "is a symbolic link: not written through"))]
    expected = (out / "crate.bmf").read_bytes()
    (out / "crate.bmf").unlink()
    report = torvik32c.convert(glb, out / "crate.bmf")
    assert report.warnings == said
    assert [i.path for i in report.images] == [None, None]
    assert (out / "crate.bmf").read_bytes() == expected
    assert (out / "CRATE.TGA").read_bytes() == b"other"
    assert (out / "FLOORTIL.TGA").is_symlink()
    assert (tmp_path / "elsewhere.png").read_bytes() == b"kept"
    assert sorted(_files(out)) == ["CRATE.TGA", "FLOORTIL.TGA", "crate.bmf"]


def test_threads_convert_in_parallel(samples, tmp_path):
    """Two conversions wait inside the library, each reading its own FIFO,
    while this thread converts a third and then feeds the FIFOs in reverse
    order: the second finishes while the first still waits.  Were the GIL
    held by a waiting conversion, nothing here could run (the joins'
    timeouts only turn such a hang into a failure)."""
    data = (samples / "gate.3ds").read_bytes()
    expected = torvik32c.convert_bytes(data, keyframer=True)
    fifos = [tmp_path / "first.3ds", tmp_path / "second.3ds"]
    results, errors = {}, []

    def convert(index):
        try:
            results[index] = torvik32c.convert(fifos[index], tmp_path / f"{index}.bmf",
                                               keyframer=True)
        except Exception as error:  # reported below
            errors.append(error)

    for fifo in fifos:
        os.mkfifo(fifo)
    threads = [threading.Thread(target=convert, args=(i,)) for i in range(2)]
    for thread in threads:
        thread.start()
    # Meanwhile this thread converts, the GIL free of the waiting two.
    assert torvik32c.convert_bytes(data, keyframer=True) == expected
    with open(fifos[1], "wb") as fifo:
        fifo.write(data)
    threads[1].join(timeout=120)
    assert not threads[1].is_alive() and 1 in results and threads[0].is_alive()
    with open(fifos[0], "wb") as fifo:
        fifo.write(data)
    threads[0].join(timeout=120)
    assert not errors and sorted(results) == [0, 1]
    assert all((tmp_path / f"{i}.bmf").read_bytes() == expected for i in range(2))


def test_stubs_and_results(samples, tmp_path):
    """The stubs list every option each function takes; the results
    pickle (Dask hands them between processes)."""
    stubs = ast.parse((Path(torvik32c.__file__).parent / "__init__.pyi").read_text())
    for function in stubs.body:
        if isinstance(function, ast.FunctionDef) and function.name in torvik32c.OPTIONS:
            named = {arg.arg for arg in function.args.kwonlyargs} - {"model_path", "files"}
            assert named == set(torvik32c.OPTIONS[function.name]), function.name
    assert set(torvik32c.OPTIONS) == {"convert", "convert_bytes", "read_3ds", "read_bmf", "to_gltf"}
    for name in ("convert", "convert_bytes", "read_bmf", "read_3ds", "to_gltf"):
        assert len(getattr(torvik32c, name).__doc__) > 200, name
    report = torvik32c.convert(samples / "crate.3ds", tmp_path / "crate.bmf")
    assert pickle.loads(pickle.dumps(report)) == report
    model = pickle.loads(pickle.dumps(torvik32c.read_bmf(tmp_path / "crate.bmf")))
    assert model.blocks[0].vertices.shape == (24, 8)


def _chunk(chunk_id, *parts):
    body = b"".join(parts)
    return struct.pack("<HI", chunk_id, 6 + len(body)) + body


def _watched_target(cameras, keys):
    """A 3DS file whose keyframer has `cameras` camera nodes, each carrying
    a box, that look at one target of `keys` position keys."""
    def track(chunk_id, frames_values):
        return _chunk(chunk_id, struct.pack("<HIII", 0, 0, 0, len(frames_values)),
                      *(struct.pack("<IH3f", frame, 0, *value) for frame, value in frames_values))

    def node(kind, node_id, name, parent, position_keys):
        return _chunk(kind, _chunk(0xB030, struct.pack("<H", node_id)),
                      _chunk(0xB010, name + b"\0", struct.pack("<HHH", 0x4000, 0, parent)),
                      track(0xB020, position_keys))

    corners = [(x, y, z) for z in (0, 1) for y in (0, 1) for x in (0, 1)]
    faces = [(0, 2, 1), (1, 2, 3), (4, 5, 6), (5, 7, 6), (0, 1, 4), (1, 5, 4),
             (2, 6, 3), (3, 6, 7), (0, 4, 2), (2, 4, 6), (1, 3, 5), (3, 7, 5)]
    mesh = _chunk(0x4100, _chunk(0x4110, struct.pack("<H", 8),
                                 *(struct.pack("<3f", *c) for c in corners)),
                  _chunk(0x4120, struct.pack("<H", len(faces)),
                         *(struct.pack("<4H", *f, 0) for f in faces)))
    editor = _chunk(0x3D3D, _chunk(0x4000, b"Box\0", mesh),
                    _chunk(0x4000, b"Cam\0", _chunk(0x4700, struct.pack("<8f", 0, -20, 5, 0, 0, 1,
                                                                            0, 50))))
    nodes = []
    for i in range(cameras):
        nodes.append(node(0xB003, 2 * i, b"Cam", 0xFFFF, [(0, (i, -20, 5))]))
        nodes.append(node(0xB002, 2 * i + 1, b"Box", 2 * i, [(0, (0, 0, 0))]))
    nodes.append(node(0xB004, 2 * cameras, b"Cam", 0xFFFF,
                      [(f, (f % 5, 0, 1)) for f in range(keys)]))
    return _chunk(0x4D4D, editor, _chunk(0xB000, *nodes))


def test_to_gltf_stops_at_ctrl_c():
    """Ctrl-C while to_gltf samples a long animation raises KeyboardInterrupt
    from within the export, as the library asks Python's signal handlers."""
    model = _watched_target(3000, 60000)
    timer = threading.Timer(0.2, lambda: __import__("_thread").interrupt_main())
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            torvik32c.to_gltf(model)
    finally:
        timer.cancel()
