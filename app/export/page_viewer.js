// The viewer of a page Tesselin writes: the model embedded above as a .glb,
// seen from the script's camera, turned with the mouse, in 3D, as a red-cyan
// anaglyph or as a side-by-side pair. Keys: M, A, S for the three.
(function () {
  'use strict';
  var view = document.getElementById('view');
  var renderer = new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
  renderer.setPixelRatio(window.devicePixelRatio || 1);
  renderer.gammaOutput = true; // the model's colours are linear light
  view.appendChild(renderer.domElement);

  // Dubois's least-squares red-cyan matrices, as the host uses them: rows give
  // the output's red, green and blue from an eye's linear red, green, blue.
  var left = new THREE.Matrix3().set(0.456100, 0.500484, 0.176381, -0.0400822, -0.0378246, -0.0157589,
                                     -0.0152161, -0.0205971, -0.00546856);
  var right = new THREE.Matrix3().set(-0.0434706, -0.0879388, -0.00155529, 0.378476, 0.73364, -0.0184503,
                                      -0.0721527, -0.112961, 1.2264);
  var targets = [new THREE.WebGLRenderTarget(1, 1), new THREE.WebGLRenderTarget(1, 1)];
  var mix = new THREE.ShaderMaterial({
    uniforms: { mapLeft: { value: targets[0].texture }, mapRight: { value: targets[1].texture },
                left: { value: left }, right: { value: right } },
    vertexShader: 'varying vec2 vUv; void main() { vUv = uv; gl_Position = vec4(position.xy, 0.0, 1.0); }',
    fragmentShader: [
      'uniform sampler2D mapLeft; uniform sampler2D mapRight; uniform mat3 left; uniform mat3 right;',
      'varying vec2 vUv;',
      'vec3 lin(vec3 c) { return mix(c / 12.92, pow((c + 0.055) / 1.055, vec3(2.4)), step(0.04045, c)); }',
      'vec3 dev(vec3 c) { return mix(c * 12.92, 1.055 * pow(c, vec3(1.0 / 2.4)) - 0.055, step(0.0031308, c)); }',
      'void main() {',
      '  vec3 l = lin(texture2D(mapLeft, vUv).rgb), r = lin(texture2D(mapRight, vUv).rgb);',
      '  gl_FragColor = vec4(dev(clamp(left * l + right * r, 0.0, 1.0)), 1.0);',
      '}'].join('\n'),
    depthTest: false, depthWrite: false
  });
  var mixScene = new THREE.Scene();
  mixScene.add(new THREE.Mesh(new THREE.PlaneBufferGeometry(2, 2), mix));
  var mixCamera = new THREE.OrthographicCamera(-1, 1, 1, -1, 0, 1);

  var scene = null, camera = null, controls = null, mode = 'mono';
  var stereo = new THREE.StereoCamera();

  function decode() {
    var text = atob(document.getElementById('model').textContent.trim());
    var bytes = new Uint8Array(text.length);
    for (var i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
    return bytes.buffer;
  }

  function size() {
    var w = window.innerWidth, h = window.innerHeight;
    renderer.setSize(w, h);
    var ratio = renderer.getPixelRatio();
    targets.forEach(function (t) { t.setSize(w * ratio, h * ratio); });
    if (camera && camera.isPerspectiveCamera) {
      camera.aspect = (mode === 'side-by-side' ? w / 2 : w) / h;
    } else if (camera) {
      var aspect = (mode === 'side-by-side' ? w / 2 : w) / h;
      var half = (camera.top - camera.bottom) / 2;
      camera.left = -half * aspect;
      camera.right = half * aspect;
    }
    if (camera) camera.updateProjectionMatrix();
    draw();
  }

  function draw() {
    if (!scene) return;
    scene.updateMatrixWorld();
    camera.updateMatrixWorld();
    var w = window.innerWidth, h = window.innerHeight;
    if (mode === 'mono') {
      renderer.setScissorTest(false);
      renderer.setViewport(0, 0, w, h);
      renderer.render(scene, camera);
      return;
    }
    // The plane through the point the camera turns round has no parallax.
    camera.focus = camera.position.distanceTo(controls.target);
    stereo.update(camera);
    if (mode === 'anaglyph') {
      renderer.setRenderTarget(targets[0]);
      renderer.render(scene, stereo.cameraL);
      renderer.setRenderTarget(targets[1]);
      renderer.render(scene, stereo.cameraR);
      renderer.setRenderTarget(null);
      renderer.render(mixScene, mixCamera);
      return;
    }
    renderer.setScissorTest(true);
    [stereo.cameraL, stereo.cameraR].forEach(function (eye, i) {
      renderer.setScissor(i * w / 2, 0, w / 2, h);
      renderer.setViewport(i * w / 2, 0, w / 2, h);
      renderer.render(scene, eye);
    });
    renderer.setScissorTest(false);
  }

  function show(next) {
    mode = next;
    ['mono', 'anaglyph', 'side-by-side'].forEach(function (id) {
      document.getElementById(id).setAttribute('aria-pressed', String(id === mode));
    });
    size();
  }

  // The script's camera, or one that frames the model when the file has none.
  function chooseCamera(gltf) {
    if (gltf.cameras && gltf.cameras.length) {
      var c = gltf.cameras[0], def = gltf.parser.json.cameras[0];
      // xmag and ymag are half the width and height the camera sees.
      if (c.isOrthographicCamera) {
        c.top = def.orthographic.ymag;
        c.bottom = -def.orthographic.ymag;
      }
      return c;
    }
    var box = new THREE.Box3().setFromObject(gltf.scene);
    var radius = Math.max(box.getSize(new THREE.Vector3()).length() / 2, 1e-3);
    var c = new THREE.PerspectiveCamera(30, 1, radius / 100, radius * 100);
    c.position.set(0, 0, radius * 4);
    return c;
  }

  function start(gltf) {
    scene = gltf.scene;
    var extras = scene.userData || {};
    var bg = extras.background || [1, 1, 1];
    scene.background = new THREE.Color(bg[0], bg[1], bg[2]);
    if (extras.ambient) scene.add(new THREE.AmbientLight(new THREE.Color(extras.ambient[0], extras.ambient[1], extras.ambient[2])));
    // Dots as wide as the script drew them, in pixels.
    scene.traverse(function (o) {
      if (!o.isPoints) return;
      o.material.size = (o.material.userData && o.material.userData.pointSize) || 1;
      o.material.sizeAttenuation = false;
    });
    camera = chooseCamera(gltf);
    // The camera's place in the world, taken out of its node for the controls.
    camera.updateMatrixWorld();
    var place = new THREE.Vector3().setFromMatrixPosition(camera.matrixWorld);
    if (camera.parent) camera.parent.remove(camera);
    camera.position.copy(place);
    stereo.eyeSep = extras.eyeSeparation || place.length() / 30;
    controls = new THREE.OrbitControls(camera, renderer.domElement);
    controls.target.set(0, 0, 0);
    controls.addEventListener('change', draw);
    controls.update();
    // #anaglyph or #side-by-side start in that mode; #bare hides the bar
    // (for pictures of the model alone), as in #bare+anaglyph.
    var words = window.location.hash.replace('#', '').split('+');
    if (words.indexOf('bare') >= 0) document.getElementById('bar').style.display = 'none';
    show(words.indexOf('anaglyph') >= 0 ? 'anaglyph' : words.indexOf('side-by-side') >= 0 ? 'side-by-side' : 'mono');
    document.body.setAttribute('data-ready', 'yes');
  }

  ['mono', 'anaglyph', 'side-by-side'].forEach(function (id) {
    document.getElementById(id).addEventListener('click', function () { show(id); });
  });
  window.addEventListener('keydown', function (e) {
    var key = e.key.toLowerCase();
    if (key === 'm') show('mono');
    if (key === 'a') show('anaglyph');
    if (key === 's') show('side-by-side');
  });
  window.addEventListener('resize', size);

  new THREE.GLTFLoader().parse(decode(), '', start, function (error) {
    document.body.setAttribute('data-ready', 'failed');
    view.textContent = 'The model cannot be shown: ' + error;
  });
})();
