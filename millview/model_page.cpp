#include "millview/model_page.h"

#include <sstream>

#include "millview/names.h"
#include "millview/tracks.h"
#include "platform/shared_files.h"

namespace millview {

namespace {

/// The files of Debian's libjs-three that a page needs, by their place in
/// the package, and their names beside the galleries.
const ViewerScripts::File kScriptFiles[] = {
    {"three.min.js", "three.min.js"},
    {"examples/js/loaders/GLTFLoader.js", "GLTFLoader.js"},
    {"examples/js/controls/OrbitControls.js", "OrbitControls.js"}};

const char kPageStyle[] =
    "html,body{margin:0;height:100%;overflow:hidden;font-family:sans-serif;background:#dfe6ee}\n"
    "#view{position:absolute;left:0;top:0;right:0;bottom:0}\n"
    "#legend{position:absolute;left:1em;top:1em;background:rgba(255,255,255,.88);"
    "padding:.5em .8em;font-size:13px;line-height:1.6;color:#202020}\n"
    ".swatch{display:inline-block;width:14px;height:14px;margin-right:.4em;vertical-align:middle}\n";

/// Fits the camera to the model once it is loaded, draws only when the
/// view changes, and records in the body's data-state how far it got
/// ("shown", or the error), for people and for tests alike.
const char kPageScript[] =
    "(function () {\n"
    "  var body = document.body;\n"
    "  function failed(what) { body.setAttribute('data-state', 'error: ' + what); }\n"
    "  window.addEventListener('error', function (e) { failed(e.message); });\n"
    "  var view = document.getElementById('view');\n"
    "  var renderer = new THREE.WebGLRenderer({antialias: true, preserveDrawingBuffer: true});\n"
    "  renderer.setPixelRatio(window.devicePixelRatio || 1);\n"
    "  renderer.gammaOutput = true;\n"
    "  renderer.gammaFactor = 2.2;\n"
    "  view.appendChild(renderer.domElement);\n"
    "  var scene = new THREE.Scene();\n"
    "  scene.background = new THREE.Color(0xdfe6ee);\n"
    "  scene.add(new THREE.HemisphereLight(0xffffff, 0x707070, 1.0));\n"
    "  var sun = new THREE.DirectionalLight(0xffffff, 0.6);\n"
    "  sun.position.set(0.5, 1, 0.3);\n"
    "  scene.add(sun);\n"
    "  var camera = new THREE.PerspectiveCamera(45, 1, 0.1, 100000);\n"
    "  var controls = new THREE.OrbitControls(camera, renderer.domElement);\n"
    "  function render() { renderer.render(scene, camera); }\n"
    "  function resize() {\n"
    "    var w = view.clientWidth || 1, h = view.clientHeight || 1;\n"
    "    renderer.setSize(w, h);\n"
    "    camera.aspect = w / h;\n"
    "    camera.updateProjectionMatrix();\n"
    "    render();\n"
    "  }\n"
    "  controls.addEventListener('change', render);\n"
    "  window.addEventListener('resize', resize);\n"
    "  resize();\n"
    "  new THREE.GLTFLoader().load(model, function (gltf) {\n"
    "    scene.add(gltf.scene);\n"
    "    var sphere = new THREE.Box3().setFromObject(gltf.scene).getBoundingSphere(new THREE.Sphere());\n"
    "    var centre = sphere.center, radius = Math.max(sphere.radius, 1);\n"
    "    // Far enough that a flat track, seen from above at a slant, fills\n"
    "    // most of the narrower side of the view (its sphere would fit it all).\n"
    "    var half = camera.fov * Math.PI / 360;\n"
    "    if (camera.aspect < 1) half = Math.atan(Math.tan(half) * camera.aspect);\n"
    "    var distance = 0.75 * radius / Math.sin(half);\n"
    "    var from = new THREE.Vector3(0.2, 0.8, 0.55).normalize().multiplyScalar(distance);\n"
    "    camera.near = distance / 1000;\n"
    "    camera.far = distance * 4;\n"
    "    camera.position.copy(centre).add(from);\n"
    "    camera.updateProjectionMatrix();\n"
    "    controls.target.copy(centre);\n"
    "    controls.update();\n"
    "    render();\n"
    "    body.setAttribute('data-state', 'shown');\n"
    "  }, undefined, function (e) { failed(e && e.message ? e.message : String(e)); });\n"
    "})();\n";

}  // namespace

bool FindViewerScripts(ViewerScripts& scripts, std::string& missing) {
  scripts.files.clear();
  const std::vector<std::string> folders = platform::ScriptLibraryFolders("three");
  for (const ViewerScripts::File& file : kScriptFiles) {
    bool found = false;
    for (const std::string& folder : folders) {
      // The package's own '/' paths, in this system's separators.
      std::string path = folder;
      std::size_t begin = 0;
      for (std::size_t end; (end = file.source.find('/', begin)) != std::string::npos; begin = end + 1)
        path = JoinPath(path, file.source.substr(begin, end - begin));
      path = JoinPath(path, file.source.substr(begin));
      if (Exists(path) && !IsFolder(path)) {
        scripts.files.push_back(ViewerScripts::File{path, file.name});
        found = true;
        break;
      }
    }
    if (!found) {
      missing = folders.empty() ? file.source : JoinPath(folders.front(), file.source);
      scripts.files.clear();
      return false;
    }
  }
  return true;
}

bool WriteViewerScripts(const ViewerScripts& scripts, const std::set<std::string>& folders,
                        std::string& reason) {
  std::vector<Output> copies;
  for (const ViewerScripts::File& file : scripts.files) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(file.source, bytes, reason)) return false;
    for (const std::string& folder : folders) copies.push_back(Output{JoinPath(folder, file.name), bytes});
  }
  return copies.empty() || WriteOutputs(copies, "", reason);
}

std::string ModelPageName(const std::string& plan) { return StemOf(plan) + ".3d.html"; }
std::string ModelName(const std::string& plan) { return StemOf(plan) + ".glb"; }

std::string Base64(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t n = 0;
  for (; n + 2 < bytes.size(); n += 3) {
    const uint32_t v = uint32_t(bytes[n]) << 16 | uint32_t(bytes[n + 1]) << 8 | bytes[n + 2];
    for (int shift : {18, 12, 6, 0}) text += kDigits[(v >> shift) & 63];
  }
  if (n < bytes.size()) {
    const bool two = n + 1 < bytes.size();
    const uint32_t v = uint32_t(bytes[n]) << 16 | (two ? uint32_t(bytes[n + 1]) << 8 : 0);
    text += kDigits[(v >> 18) & 63];
    text += kDigits[(v >> 12) & 63];
    text += two ? kDigits[(v >> 6) & 63] : '=';
    text += '=';
  }
  return text;
}

std::string ModelPage(const std::string& title, const std::string& plan, const std::vector<uint8_t>& glb,
                      const ModelFacts& facts, const std::string& top) {
  std::ostringstream html;
  html << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>"
       << XmlEscape(title) << " in 3D</title>\n<style>\n" << kPageStyle << "</style>\n</head>\n"
       << "<body data-state=\"loading\">\n<div id=\"view\"></div>\n<div id=\"legend\"><strong>"
       << XmlEscape(title) << "</strong><br>\n<a href=\"" << UrlOf(plan) << "\">plan</a> &middot; <a href=\""
       << UrlOf(ModelName(plan)) << "\">model</a> &middot; <a href=\"index.html\">gallery</a><br>\n";
  for (int kind : facts.kinds)
    html << "<span class=\"swatch\" style=\"background:" << kKindColours[kind] << "\"></span>"
         << kKindNames[kind] << "<br>\n";
  if (facts.walls)
    html << "<span class=\"swatch\" style=\"background:#202020\"></span>wall, " << kModelWallHeight
         << " m high<br>\n";
  html << "<span class=\"swatch\" style=\"background:#d02020;height:3px\"></span>centre line<br>\n"
       << "<small>drag: orbit &middot; right-drag: pan &middot; wheel: zoom</small></div>\n";
  for (const ViewerScripts::File& file : kScriptFiles)
    html << "<script src=\"" << top << UrlOf(file.name) << "\"></script>\n";
  html << "<script>\nvar model = \"data:model/gltf-binary;base64," << Base64(glb) << "\";\n"
       << kPageScript << "</script>\n</body>\n</html>\n";
  return html.str();
}

}  // namespace millview
