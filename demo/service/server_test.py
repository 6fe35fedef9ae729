#!/usr/bin/env python3
"""Checks of the demo service's answers (run by tests/scripts/demo-service_test.sh)."""

import http.client
import io
import json
import os
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


class DemoServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.info_path = os.path.join(cls.dir.name, "service.json")
        cls.log_path = os.path.join(cls.dir.name, "requests.jsonl")
        # Stand-ins for the product program and the engine DLL: the service
        # serves whatever bytes these files hold.
        cls.exe_bytes = b"MZ demo product " + bytes(range(256)) * 64
        cls.dll_bytes = b"MZ engine " + bytes(reversed(range(256))) * 400
        cls.exe_path = os.path.join(cls.dir.name, "DemoProduct.exe")
        cls.dll_path = os.path.join(cls.dir.name, "7z.dll")
        for path, data in ((cls.exe_path, cls.exe_bytes), (cls.dll_path, cls.dll_bytes)):
            with open(path, "wb") as f:
                f.write(data)
        cls.proc = subprocess.Popen([sys.executable, os.path.join(HERE, "server.py"), "--port", "0",
                                     "--info", cls.info_path, "--log", cls.log_path, "--lifetime", "120",
                                     "--product-exe", cls.exe_path, "--compress-dll", cls.dll_path],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        for _ in range(200):
            if os.path.exists(cls.info_path):
                break
            time.sleep(0.05)
        with open(cls.info_path) as f:
            cls.info = json.load(f)
        cls.port = cls.info["port"]

    @classmethod
    def tearDownClass(cls):
        cls.proc.terminate()
        _, err = cls.proc.communicate(timeout=10)
        cls.dir.cleanup()
        assert b"service error" not in err, err.decode()

    def request(self, method, path, body=None, headers=None):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        data = json.dumps(body).encode() if isinstance(body, (dict, list)) else body
        conn.request(method, path, body=data, headers=dict({"Content-Type": "application/json"}, **(headers or {})))
        resp = conn.getresponse()
        payload = resp.read()
        conn.close()
        return resp.status, dict(resp.getheaders()), payload

    def fetch(self, path, headers=None):
        """GET path: (status, headers, body, complete) where complete is
        False when the connection closed before the announced length."""
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        conn.request("GET", path, headers=headers or {})
        resp = conn.getresponse()
        try:
            body, complete = resp.read(), True
        except http.client.IncompleteRead as cut:
            body, complete = cut.partial, False
        conn.close()
        return resp.status, dict(resp.getheaders()), body, complete

    def package_path(self, tag, sn="CVL2026-STD"):
        prefix = "/t/%s" % tag if tag else ""
        url = self.call(prefix + "/api/resource/order", {"package_sn": sn})["data"]["download_url"]
        return url.split(str(self.port), 1)[1]

    def call(self, path, body=None):
        status, _, payload = self.request("POST", path, body or {"uid": "u"})
        self.assertEqual(200, status)
        return json.loads(payload.decode("utf-8"))

    def configure(self, tag, config):
        status, _, _ = self.request("POST", "/_config/" + tag, config)
        self.assertEqual(200, status)

    def log(self, tag):
        with open(self.log_path, encoding="utf-8") as f:
            return [e for e in map(json.loads, f) if e["tag"] == tag]

    def test_products_answer_has_the_documented_shape(self):
        answer = self.call("/t/shape/api/resource/products")
        self.assertEqual(0, answer["code"])
        self.assertIsInstance(answer["data"], list)
        product = answer["data"][0]
        for key in ("product_sn", "name", "desc", "banner"):
            self.assertIsInstance(product[key], str)
        self.assertNotIn("suicide", product)
        self.assertEqual({"enable", "img", "link"}, set(product["pop_ad"]))
        self.assertIs(product["pop_ad"]["enable"], True)
        self.assertEqual(2, len(product["packages"]))
        for package in product["packages"]:
            self.assertEqual({"package_sn", "name"}, set(package))
        self.assertTrue(product["banner"].startswith("http://127.0.0.1:%d/t/shape/" % self.port))

    def test_pictures_are_pngs_of_their_size(self):
        product = self.call("/api/resource/products")["data"][0]
        for url, size in ((product["icon"], (64, 64)), (product["banner"], (600, 200)),
                          (product["pop_ad"]["img"], (740, 580))):
            status, headers, png = self.request("GET", url.split(str(self.port), 1)[1])
            self.assertEqual(200, status)
            self.assertEqual("image/png", headers["Content-Type"])
            self.assertEqual(b"\x89PNG\r\n\x1a\n", png[:8])
            self.assertEqual(size, struct.unpack(">II", png[16:24]))

    def test_settings_and_pushed_answers(self):
        data = self.call("/api/settings/info")["data"]
        self.assertEqual({"customer_service_link", "privacy_protocol_link", "user_agreement_link"}, set(data))
        self.assertEqual({"code": 0, "data": {}}, self.call("/api/common/pushed", {"type": 1}))

    def test_order_states_follow_the_configured_sequence_per_package(self):
        self.configure("ord", {"order_states": [1, 2]})
        body = {"package_sn": "CVL2026-PRO"}
        states = [self.call("/t/ord/api/resource/order", body)["data"]["state"] for _ in range(3)]
        self.assertEqual([1, 2, 2], states)
        data = self.call("/t/ord/api/resource/order", {"package_sn": "CVL2026-STD"})["data"]
        self.assertEqual(1, data["state"])
        for key in ("name", "desc", "download_url", "guide_link", "official_link"):
            self.assertIsInstance(data[key], str)
        self.assertEqual([{"name": "Corvel Notes", "path": "CorvelNotes.exe"}], data["boot"])

    def test_package_is_a_stable_zip_served_in_ranges(self):
        data = self.call("/api/resource/order", {"package_sn": "CVL2026-STD"})["data"]
        path = data["download_url"].split(str(self.port), 1)[1]
        _, _, whole = self.request("GET", path)
        _, _, again = self.request("GET", path)
        self.assertEqual(whole, again)
        self.assertIn("readme.txt", zipfile.ZipFile(io.BytesIO(whole)).namelist())
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        conn.request("GET", path, headers={"Range": "bytes=10-19"})
        resp = conn.getresponse()
        self.assertEqual(206, resp.status)
        self.assertEqual(whole[10:20], resp.read())
        conn.close()

    def test_modes_and_exact_answers(self):
        self.configure("garbage", {"mode": "garbage"})
        status, _, payload = self.request("POST", "/t/garbage/api/resource/products", {})
        self.assertEqual(200, status)
        self.assertRaises(ValueError, json.loads, payload.decode("utf-8", "replace"))
        self.configure("empty", {"mode": "empty"})
        self.assertEqual(b"", self.request("POST", "/t/empty/api/settings/info", {})[2])
        self.configure("bye", {"mode": "suicide"})
        self.assertIs(True, self.call("/t/bye/api/resource/products")["data"][0]["suicide"])
        self.configure("raw", {"products": '{"data": {}}'})
        self.assertEqual({"data": {}}, self.call("/t/raw/api/resource/products"))
        self.configure("drop", {"mode": "drop"})
        with self.assertRaises((http.client.RemoteDisconnected, ConnectionError)):
            self.request("POST", "/t/drop/api/settings/info", {})
        self.assertEqual(400, self.request("POST", "/_config/x", {"mode": "nonsense"})[0])

    def test_log_keeps_method_path_and_body_per_tag(self):
        self.call("/t/logged/api/common/pushed", {"type": 1, "promo_code": "中文"})
        self.request("POST", "/_config/logged", {})
        entries = self.log("logged")
        self.assertEqual(1, len(entries))
        self.assertEqual("POST", entries[0]["method"])
        self.assertEqual("/api/common/pushed", entries[0]["path"])
        self.assertEqual({"type": 1, "promo_code": "中文"}, entries[0]["body"])

    # -- packages ------------------------------------------------------------

    def test_product_package_carries_the_program_and_data_with_chinese_names(self):
        data = self.call("/api/resource/order", {"package_sn": "CVL2026-STD"})["data"]
        self.assertEqual("Corvel Notes", data["boot"][0]["name"])
        self.assertTrue(data["compress_link"].endswith("/res/Compress.dll"))
        status, headers, whole, _ = self.fetch(self.package_path(""))
        self.assertEqual(200, status)
        self.assertIn("ETag", headers)
        z = zipfile.ZipFile(io.BytesIO(whole))
        self.assertIsNone(z.testzip())
        self.assertEqual(self.exe_bytes, z.read(data["boot"][0]["path"]))
        self.assertIn("演示产品", z.read("说明.txt").decode("utf-8"))
        info = z.getinfo("数据/资料.bin")
        self.assertTrue(info.flag_bits & 0x800, "a Chinese name is flagged as UTF-8")
        self.assertGreaterEqual(info.file_size, 4 * 1024 * 1024, "enough data for progress to show")
        self.assertGreater(len(set(z.read("数据/资料.bin")[:4096])), 200, "data that does not compress away")

    def test_program_package_is_the_product_itself_without_boot_entries(self):
        data = self.call("/api/resource/order", {"package_sn": "CVL2026-SETUP"})["data"]
        self.assertTrue(data["download_url"].endswith("/pkg/CVL2026-SETUP.exe"))
        self.assertEqual([], data["boot"])
        status, _, body, _ = self.fetch(self.package_path("", "CVL2026-SETUP"))
        self.assertEqual((200, self.exe_bytes), (status, body))
        self.assertEqual(404, self.fetch("/pkg/CVL2026-SETUP.zip")[0])
        self.assertEqual(404, self.fetch("/pkg/CVL2026-STD.exe")[0])

    def test_package_kind_serves_broken_archives(self):
        _, _, good, _ = self.fetch(self.package_path(""))

        def corrupt(body):
            z = zipfile.ZipFile(io.BytesIO(body))      # the directory still reads
            with self.assertRaises((zipfile.BadZipFile, zlib.error)):
                for name in z.namelist():
                    z.read(name)                          # the data does not check

        def truncated(body):
            self.assertLess(len(body), len(good))
            self.assertEqual(good[:len(body)], body)
            self.assertRaises(zipfile.BadZipFile, zipfile.ZipFile, io.BytesIO(body))

        def zipslip(body):
            names = zipfile.ZipFile(io.BytesIO(body)).namelist()
            for evil in ("..\\corvel-zipslip-1.txt", "../corvel-zipslip-2.txt", "/corvel-zipslip-3.txt",
                         "C:\\corvel-zipslip-4.txt"):
                self.assertIn(evil, names)
            self.assertIn("readme.txt", names)

        for kind, check in (("corrupt", corrupt), ("truncated", truncated), ("zipslip", zipslip)):
            with self.subTest(kind=kind):
                self.configure("kind-" + kind, {"package_kind": kind})
                status, headers, body, complete = self.fetch(self.package_path("kind-" + kind))
                self.assertEqual((200, True), (status, complete))
                self.assertEqual(str(len(body)), headers["Content-Length"])
                self.assertNotEqual(good, body)
                check(body)

    def test_package_version_changes_bytes_and_validators(self):
        path = self.package_path("ver")
        _, v0, body0, _ = self.fetch(path)
        self.configure("ver", {"package_version": 1})
        _, v1, body1, _ = self.fetch(path)
        self.assertNotEqual(len(body0), len(body1))
        self.assertNotEqual(v0["ETag"], v1["ETag"])
        self.assertNotEqual(v0["Last-Modified"], v1["Last-Modified"])
        self.assertEqual(body1, self.fetch(path)[2], "the same version keeps its bytes")
        cases = (  # If-Range, expected status, expected body
            (v1["ETag"], 206, body1[100:200]),
            (v1["Last-Modified"], 206, body1[100:200]),
            (v0["ETag"], 200, body1),                 # the old version: the whole new file
            (v0["Last-Modified"], 200, body1),
        )
        for if_range, status, body in cases:
            with self.subTest(if_range=if_range):
                got = self.fetch(path, {"Range": "bytes=100-199", "If-Range": if_range})
                self.assertEqual((status, body), got[:3:2])

    def test_package_drop_after_cuts_the_answer_once_or_every_time(self):
        cases = (  # configuration, completeness of three GETs in a row
            ({"bytes": 1000, "times": 1}, [False, True, True]),
            ({"bytes": 1000, "times": 2}, [False, False, True]),
            (1000, [False, False, False]),
            (0, [False, False, False]),
        )
        for drop, complete in cases:
            with self.subTest(drop=drop):
                self.configure("drop-pkg", {"package_drop_after": drop})
                path = self.package_path("drop-pkg")
                got = [self.fetch(path) for _ in complete]
                self.assertEqual(complete, [g[3] for g in got])
                for status, headers, body, whole in got:
                    self.assertEqual(200, status)
                    self.assertEqual(int(headers["Content-Length"]) if whole else drop_bytes(drop), len(body))
        # A range the cut does not reach is answered whole and uses no drop.
        self.configure("drop-pkg", {"package_drop_after": {"bytes": 1000, "times": 1}})
        path = self.package_path("drop-pkg")
        self.assertEqual((206, True), self.fetch(path, {"Range": "bytes=0-99"})[::3])
        self.assertEqual((206, False), self.fetch(path, {"Range": "bytes=5000-"})[::3])
        self.assertEqual((200, True), self.fetch(path)[::3])
        ranges = [e["range"] for e in self.log("drop-pkg") if e["path"].startswith("/pkg/")]
        self.assertEqual(["bytes=0-99", "bytes=5000-", ""], ranges[-3:])

    def test_package_rate_throttles_each_answer(self):
        rate, size = 200000, 100000
        self.configure("slow", {"package_rate": rate})
        path = self.package_path("slow")
        began = time.monotonic()
        status, _, body, complete = self.fetch(path, {"Range": "bytes=0-%d" % (size - 1)})
        took = time.monotonic() - began
        self.assertEqual((206, size, True), (status, len(body), complete))
        self.assertGreaterEqual(took, 0.9 * size / rate, "sent no faster than the rate")

    def test_transfers_count_the_body_bytes_that_went_out(self):
        self.configure("sent", {"package_drop_after": {"bytes": 3000, "times": 1}})
        path = self.package_path("sent")
        cut = self.fetch(path)                               # the first answer to reach 3000 bytes: cut
        ranged = self.fetch(path, {"Range": "bytes=100-"})   # the drop is used up: whole
        self.assertEqual((False, True), (cut[3], ranged[3]))
        size = len(ranged[2]) + 100
        seqs = [e["seq"] for e in self.log("sent") if e["path"].startswith("/pkg/")]
        status, _, payload = self.request("GET", "/_transfers/sent")
        self.assertEqual(200, status)
        transfers = [t for t in json.loads(payload.decode("utf-8")) if t["path"].startswith("/pkg/")]
        self.assertEqual(seqs, [t["seq"] for t in transfers])
        self.assertEqual([("", 200, 0, size, 3000), ("bytes=100-", 206, 100, size - 100, size - 100)],
                         [(t["range"], t["status"], t["first"], t["length"], t["sent"]) for t in transfers])
        self.assertEqual([], json.loads(self.request("GET", "/_transfers/nobody")[2].decode("utf-8")))

    def test_compress_kind_serves_the_engine_or_its_faults(self):
        cases = (  # kind, status, complete, check of the body
            ("normal", 200, True, lambda b: self.assertEqual(self.dll_bytes, b)),
            ("missing", 404, True, lambda b: None),
            ("corrupt", 200, True, lambda b: (self.assertEqual(len(self.dll_bytes), len(b)),
                                              self.assertNotEqual(self.dll_bytes, b))),
            ("truncated", 200, False, lambda b: self.assertEqual(self.dll_bytes[:len(self.dll_bytes) // 2], b)),
        )
        for kind, status, complete, check in cases:
            with self.subTest(kind=kind):
                self.configure("engine-" + kind, {"compress_kind": kind})
                link = self.call("/t/engine-%s/api/resource/order" % kind)["data"]["compress_link"]
                got = self.fetch(link.split(str(self.port), 1)[1])
                self.assertEqual((status, complete), (got[0], got[3]))
                check(got[2])

    def test_download_test_keys_pad_refuse_pace_and_cut_ranged_answers(self):
        _, _, plain, _ = self.fetch(self.package_path(""))
        self.configure("pkg-pad", {"pkg_pad": 200000})
        _, _, padded, _ = self.fetch(self.package_path("pkg-pad"))
        self.assertGreater(len(padded), len(plain) + 200000)
        self.assertEqual(padded, self.fetch(self.package_path("pkg-pad"))[2], "the same padding, the same bytes")
        pad = zipfile.ZipFile(io.BytesIO(padded)).getinfo("data/pad.bin")
        self.assertEqual((200000, zipfile.ZIP_STORED), (pad.file_size, pad.compress_type))
        self.configure("pkg-status", {"pkg_status": 404})
        self.assertEqual((404, b""), self.fetch(self.package_path("pkg-status"))[::2])

        self.configure("pkg-cut", {"pkg_cut_at": 30000})
        path = self.package_path("pkg-cut")
        cases = (  # Range header, status, body, complete
            (None, 200, plain, True),                           # answers without a range are never cut
            ("bytes=0-", 206, plain[:30000], False),
            ("bytes=100-29999", 206, plain[100:30000], True),   # ends before the offset
            ("bytes=30000-", 206, plain[30000:], True),         # a resumed request from the offset on
            ("bytes=29000-", 206, plain[29000:30000], False),   # every time
        )
        for rng, status, body, complete in cases:
            with self.subTest(range=rng):
                got = self.fetch(path, {"Range": rng} if rng else None)
                self.assertEqual((status, complete), (got[0], got[3]))
                self.assertEqual(body, got[2])

        rate, size = 20000, 10000
        self.configure("pkg-rate", {"pkg_rate": rate})
        path = self.package_path("pkg-rate")
        began = time.monotonic()
        got = self.fetch(path, {"Range": "bytes=100-%d" % (99 + size)})
        self.assertGreaterEqual(time.monotonic() - began, 0.9 * size / rate, "a ranged answer is paced")
        self.assertEqual((206, plain[100:100 + size]), got[:3:2])

    def test_package_keys_with_unknown_values_are_refused(self):
        for cfg in ({"package_kind": "nonsense"}, {"compress_kind": "gone"}, {"package_rate": 0},
                    {"package_rate": "fast"}, {"package_drop_after": -1}, {"package_drop_after": {"times": 1}},
                    {"package_drop_after": {"bytes": 10, "times": 0}}, {"package_version": "2"},
                    {"package_version": True}, {"pkg_pad": -1}, {"pkg_rate": "slow"}, {"pkg_cut_at": 1.5}):
            with self.subTest(cfg=cfg):
                self.assertEqual(400, self.request("POST", "/_config/refused", cfg)[0])


def drop_bytes(drop):
    return drop["bytes"] if isinstance(drop, dict) else drop


if __name__ == "__main__":
    unittest.main()
