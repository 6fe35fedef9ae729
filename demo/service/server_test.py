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

HERE = os.path.dirname(os.path.abspath(__file__))


class DemoServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.info_path = os.path.join(cls.dir.name, "service.json")
        cls.log_path = os.path.join(cls.dir.name, "requests.jsonl")
        cls.proc = subprocess.Popen([sys.executable, os.path.join(HERE, "server.py"), "--port", "0",
                                     "--info", cls.info_path, "--log", cls.log_path, "--lifetime", "120"],
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

    def request(self, method, path, body=None):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        data = json.dumps(body).encode() if isinstance(body, (dict, list)) else body
        conn.request(method, path, body=data, headers={"Content-Type": "application/json"})
        resp = conn.getresponse()
        payload = resp.read()
        conn.close()
        return resp.status, dict(resp.getheaders()), payload

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
        self.assertEqual([{"name": "Corvel Notes", "path": "readme.txt"}], data["boot"])

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

    # -- package faults for the download tests --------------------------------

    def ranged(self, path, first, last=None):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        wanted = "bytes=%d-%s" % (first, "" if last is None else last)
        conn.request("GET", path, headers={"Range": wanted})
        resp = conn.getresponse()
        status, headers = resp.status, dict(resp.getheaders())
        try:
            body = resp.read()
        except http.client.IncompleteRead as cut:
            body = cut.partial
        conn.close()
        return status, headers, body

    def test_package_padding_keeps_a_stable_zip(self):
        self.configure("pad", {"pkg_pad": 200000})
        _, _, padded = self.request("GET", "/t/pad/pkg/CVL2026-STD.zip")
        _, _, plain = self.request("GET", "/pkg/CVL2026-STD.zip")
        self.assertGreater(len(padded), len(plain) + 200000)
        self.assertEqual(padded, self.request("GET", "/t/pad/pkg/CVL2026-STD.zip")[2])
        names = zipfile.ZipFile(io.BytesIO(padded)).namelist()
        self.assertIn("readme.txt", names)
        self.assertIn("data/pad.bin", names)
        self.configure("pad404", {"pkg_status": 404})
        self.assertEqual(404, self.request("GET", "/t/pad404/pkg/CVL2026-STD.zip")[0])

    def test_package_cut_ends_every_answer_covering_the_offset(self):
        self.configure("cut", {"pkg_pad": 50000, "pkg_cut_at": 30000})
        path = "/t/cut/pkg/CVL2026-STD.zip"
        status, _, whole = self.request("GET", path)
        self.assertEqual(200, status)  # an answer without a range is never cut
        status, headers, first = self.ranged(path, 0)
        self.assertEqual(206, status)
        self.assertEqual("bytes 0-%d/%d" % (len(whole) - 1, len(whole)), headers["Content-Range"])
        self.assertEqual(whole[:30000], first)
        status, _, rest = self.ranged(path, 30000)
        self.assertEqual(206, status)
        self.assertEqual(whole[30000:], rest)
        ranges = [e["range"] for e in self.log("cut") if e["path"].startswith("/pkg/")]
        self.assertEqual(["", "bytes=0-", "bytes=30000-"], ranges)

    def test_package_rate_paces_ranged_answers(self):
        # The pace itself shows in the installer's tests (slow ticks); here
        # the paced pieces must add up to the same bytes.
        self.configure("slow", {"pkg_pad": 5000, "pkg_rate": 20000})
        path = "/t/slow/pkg/CVL2026-STD.zip"
        _, _, whole = self.request("GET", path)
        status, _, part = self.ranged(path, 100, 4099)
        self.assertEqual(206, status)
        self.assertEqual(whole[100:4100], part)


if __name__ == "__main__":
    unittest.main()
