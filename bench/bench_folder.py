"""The benchmarks' generated files: see bench_folder.h, whose folder this is."""
import os
import stat


def bench_folder():
    folder = os.path.join(os.environ.get("TMPDIR") or "/tmp", f"kestrine-bench-{os.getuid()}")
    try:
        os.mkdir(folder, 0o700)
    except FileExistsError:
        pass
    st = os.lstat(folder)
    if not stat.S_ISDIR(st.st_mode) or st.st_uid != os.getuid() or st.st_mode & 0o077:
        raise SystemExit(f"{folder} is not a folder of this user's alone")
    return folder


def mesh(triangles):
    """The mesh kestrine_bench's BM_ObjLoadOBJ makes and keeps."""
    return os.path.join(bench_folder(), f"mesh_{triangles}.obj")
